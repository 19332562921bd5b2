// The real application as a user meets it: copied, with or without an update
// file beside it, into a folder of its own whose name is not UTF-8 (it looks for
// the file next to its real executable), started through a symbolic link from a
// folder without one,
// on the testbed's emulated devices and the test's X server, in English, and
// driven through its window.
#pragma once

#include "ScreenPicture.h"

#include "Support/Desktop/XvfbServer.h"
#include "Support/Umockdev/TestbedProcess.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvxtest
{

class ApplicationSession
{
public:
    // Without an update file when updateFile is empty.
    ApplicationSession(const XvfbServer& x, const HidrawTestbed& testbed,
                       const std::optional<std::vector<uint8_t>>& updateFile);
    // Ends the program if it still runs and removes its folder.
    ~ApplicationSession();
    ApplicationSession(const ApplicationSession&) = delete;
    ApplicationSession& operator=(const ApplicationSession&) = delete;

    // Waits for the window titled in English; false when none appeared.
    bool waitForWindow();
    // Waits for the window's title to read so; false when it never did.
    bool waitForTitle(const std::string& expected) const;
    std::string title() const;
    std::string geometry() const;

    // Takes pictures of the window until it shows the named screen, and keeps
    // that picture under the file name, if one is given, in the screenshot
    // folder. Returns the last picture taken, whichever screen it shows.
    ScreenPicture waitForScreen(const std::string& screenName, const std::string& fileName);
    ScreenPicture takePicture();

    // Keeps the last picture taken under the file name in the screenshot folder.
    void keepLatestAs(const std::string& fileName) const;

    // The buttons in their places at the window's size.
    void clickRightButton() const;
    void clickLeftButton() const;

    // Opens the language menu and picks the language of that index; false when
    // the menu did not open.
    bool chooseLanguage(int index) const;

    // Sends one of the platform's quit requests: SIGTERM, SIGINT or SIGHUP.
    void requestQuit(int signalNumber) const;

    // The program's exit status; -1 when it did not end normally.
    int waitForExit();

    // Starts the program once more in the same folder and session, as a user
    // may while it runs. Once the first has ended, waitForWindow finds the
    // later start's window; the later start ends with the session.
    void startAgain();

    // Where the pictures are kept: a folder in the build tree.
    static std::filesystem::path screenshotFolder();

private:
    const XvfbServer& x;
    const HidrawTestbed& testbed;
    std::filesystem::path folder;
    std::unique_ptr<TestbedProcess> process;
    std::unique_ptr<TestbedProcess> laterStart;
    std::string window;
};

} // namespace kvxtest
