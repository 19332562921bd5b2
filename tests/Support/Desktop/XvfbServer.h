// An X server of the test's own, and the X clients that look at and drive the
// windows on it: xdotool to find, name and click them, ImageMagick's import to
// take their pictures.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace kvxtest
{

// True when the program is found in PATH.
bool isInstalled(const std::string& program);

// Runs a command line outside any library that the test preloads (umockdev's,
// the sanitizers'), which are not the business of the programs it starts, and
// returns its standard output.
std::string runWithoutPreloads(const std::string& commandLine);

// True when the X server of the display admits a client that has no cookie of
// its, as one started with "xhost +" does, or a desktop's that admits every
// process of the user.
bool admitsStrangers(const std::string& display);

// The server admits only the clients that have its cookie, which no program
// started elsewhere has: one started without DISPLAY on a machine where this
// server got ":0" (where JUCE and Xlib look then) cannot put its windows
// among the test's.
class XvfbServer
{
public:
    // Starts Xvfb on a display that it picks itself. display() is empty when
    // Xvfb, xdotool or import is missing or the server did not come up.
    XvfbServer();
    // Stops the server and removes its cookie's file.
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", the value of DISPLAY for the server's clients.
    const std::string& display() const { return displayName; }

    // DISPLAY and XAUTHORITY, "NAME=value", for a program that is to be a
    // client of this server.
    std::vector<std::string> clientEnvironment() const;

    // The authorization, of this name, that the server admits: for a client
    // in the test's own process (XSetAuthorization).
    static constexpr const char* cookieName = "MIT-MAGIC-COOKIE-1";
    const std::string& cookie() const { return cookieData; }

    // Runs an X client's command line on this display, as runWithoutPreloads does.
    std::string run(const std::string& commandLine) const;

    // The ids of the windows whose title matches the extended regular expression.
    std::vector<std::string> findWindows(const std::string& titlePattern) const;
    // The id of the first window whose title matches, once one shows; empty
    // when the program ended first (it is left to be waited for) or when none
    // showed within a bound that only keeps a broken test from hanging.
    std::string waitForWindow(const std::string& titlePattern, pid_t program) const;
    std::string windowName(const std::string& window) const;
    // "WIDTHxHEIGHT".
    std::string windowGeometry(const std::string& window) const;

    // Moves the mouse to (x, y) of the window, there presses and releases the left button.
    void moveMouse(const std::string& window, int x, int y) const;
    void click(const std::string& window, int x, int y) const;

    // Writes the window's picture as a PNG file; false when that failed.
    bool saveScreenshot(const std::string& window, const std::string& path) const;

private:
    pid_t server = -1;
    std::string displayName;
    std::string cookieData;
    std::string authorityFile;
};

} // namespace kvxtest
