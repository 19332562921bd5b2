#include "Support/Desktop/XvfbServer.h"

#include "Support/ProgramStart.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kvxtest
{

namespace
{

// Bounds that only keep a broken server from hanging the test; nothing is timed.
constexpr int startBoundMilliseconds = 60000;
constexpr auto stopBound = std::chrono::seconds(10);
constexpr auto windowBound = std::chrono::seconds(60);

constexpr size_t cookieSize = 16;

// What the test may have preloaded stays out of the X server and its clients:
// they are not ours to emulate devices for or to check for leaks.
const char* const keptOut[] = { "LD_PRELOAD", "UMOCKDEV_DIR" };

std::vector<std::string> environmentWithoutPreloads()
{
    std::vector<std::string> environment;

    for (char** entry = environ; *entry != nullptr; ++entry)
    {
        const std::string text(*entry);
        bool kept = true;

        for (const char* name : keptOut)
            kept = kept && text.compare(0, std::string(name).size() + 1, std::string(name) + "=") != 0;

        if (kept)
            environment.push_back(text);
    }

    return environment;
}

// Fresh random data, or empty when the system gave none.
std::string randomCookie()
{
    std::string cookie(cookieSize, '\0');
    return getrandom(cookie.data(), cookie.size(), 0) == (ssize_t) cookie.size() ? cookie : std::string();
}

std::string withLength(const std::string& field)
{
    const char length[] = { (char) (field.size() >> 8), (char) (field.size() & 0xff) };
    return std::string(length, sizeof(length)) + field;
}

// An Xauthority file's entry: family, then address, display number, name and
// data, each after its length, all numbers big-endian. Of the entry the server
// takes only the name and data, so one of the family that matches any address
// and no display number serves whatever display the server picks.
std::string authorityEntry(const std::string& cookie)
{
    const char familyWild[] = { '\xff', '\xff' };
    return std::string(familyWild, sizeof(familyWild)) + withLength("") + withLength("")
         + withLength(XvfbServer::cookieName) + withLength(cookie);
}

// The path of a new file of the user's own that holds the entry; empty when
// none could be written.
std::string writeAuthorityFile(const std::string& entry)
{
    std::string path = (std::filesystem::temp_directory_path() / "kvx-xauthority-XXXXXX").string();
    const int file = mkstemp(path.data());

    if (file < 0)
        return {};

    const bool written = write(file, entry.data(), entry.size()) == (ssize_t) entry.size();
    close(file);

    if (! written)
        unlink(path.c_str());

    return written ? path : std::string();
}

// Starts Xvfb, admitting the clients with the file's cookie, and gives the
// pipe to which it writes the number of the display it picked.
pid_t startServer(const std::string& authorityFile, int& displayNumberPipe)
{
    int ends[2];

    if (pipe(ends) != 0)
        return -1;

    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    ProgramStart start;
    start.arguments = { "Xvfb", "-displayfd", std::to_string(ends[1]), "-auth", authorityFile,
                        "-screen", "0", "1024x768x24", "-nolisten", "tcp" };
    start.environment = environmentWithoutPreloads();
    start.errorFile = "/dev/null";
    const pid_t pid = startProgram(start);
    close(ends[1]);

    displayNumberPipe = ends[0];
    return pid;
}

void stop(pid_t server)
{
    if (server <= 0 || kill(server, SIGTERM) != 0)
        return;

    const auto end = std::chrono::steady_clock::now() + stopBound;

    while (waitpid(server, nullptr, WNOHANG) == 0)
    {
        if (std::chrono::steady_clock::now() > end)
        {
            kill(server, SIGKILL);
            waitpid(server, nullptr, 0);
            return;
        }

        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string readLine(int descriptor)
{
    std::string line;
    char c;
    pollfd readable { descriptor, POLLIN, 0 };

    while (poll(&readable, 1, startBoundMilliseconds) > 0 && read(descriptor, &c, 1) == 1 && c != '\n')
        line += c;

    return line;
}

std::string withoutLineEnd(std::string text)
{
    while (! text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();

    return text;
}

} // namespace

bool isInstalled(const std::string& program)
{
    return std::system(("command -v " + program + " > /dev/null 2>&1").c_str()) == 0;
}

std::string runWithoutPreloads(const std::string& commandLine)
{
    std::string command = "env";

    for (const char* name : keptOut)
        command += std::string(" -u ") + name;

    command += " " + commandLine + " 2>/dev/null";
    std::string output;

    if (FILE* pipe = popen(command.c_str(), "r"))
    {
        char buffer[4096];
        size_t count;

        while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            output.append(buffer, count);

        pclose(pipe);
    }

    return output;
}

bool admitsStrangers(const std::string& display)
{
    return ! runWithoutPreloads("DISPLAY=" + display + " XAUTHORITY=/nonexistent xdotool getdisplaygeometry").empty();
}

//==============================================================================
XvfbServer::XvfbServer()
{
    if (! isInstalled("Xvfb") || ! isInstalled("xdotool") || ! isInstalled("import"))
        return;

    cookieData = randomCookie();
    authorityFile = cookieData.empty() ? std::string() : writeAuthorityFile(authorityEntry(cookieData));

    if (authorityFile.empty())
        return;

    int numberPipe = -1;
    server = startServer(authorityFile, numberPipe);

    if (numberPipe >= 0)
    {
        const auto number = readLine(numberPipe);
        close(numberPipe);

        if (server > 0 && ! number.empty())
            displayName = ":" + number;
    }
}

XvfbServer::~XvfbServer()
{
    stop(server);

    if (! authorityFile.empty())
        unlink(authorityFile.c_str());
}

std::vector<std::string> XvfbServer::clientEnvironment() const
{
    return { "DISPLAY=" + displayName, "XAUTHORITY=" + authorityFile };
}

std::string XvfbServer::run(const std::string& commandLine) const
{
    return runWithoutPreloads("DISPLAY=" + displayName + " XAUTHORITY='" + authorityFile + "' " + commandLine);
}

std::vector<std::string> XvfbServer::findWindows(const std::string& titlePattern) const
{
    const auto output = run("xdotool search --name '" + titlePattern + "'");
    std::vector<std::string> ids;
    size_t start = 0;

    for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1)
        ids.push_back(output.substr(start, end - start));

    return ids;
}

std::string XvfbServer::waitForWindow(const std::string& titlePattern, pid_t program) const
{
    const auto end = std::chrono::steady_clock::now() + windowBound;

    for (;;)
    {
        const auto windows = findWindows(titlePattern);
        siginfo_t ended {};

        if (! windows.empty())
            return windows.front();

        if (waitid(P_PID, (id_t) program, &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid != 0
            || std::chrono::steady_clock::now() > end)
            return {};

        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::string XvfbServer::windowName(const std::string& window) const
{
    return withoutLineEnd(run("xdotool getwindowname " + window));
}

std::string XvfbServer::windowGeometry(const std::string& window) const
{
    const auto output = run("xdotool getwindowgeometry " + window);
    const auto at = output.find("Geometry: ");
    return at == std::string::npos ? output : withoutLineEnd(output.substr(at + 10, output.find('\n', at) - at - 10));
}

void XvfbServer::moveMouse(const std::string& window, int x, int y) const
{
    run("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
}

void XvfbServer::click(const std::string& window, int x, int y) const
{
    run("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

bool XvfbServer::saveScreenshot(const std::string& window, const std::string& path) const
{
    std::remove(path.c_str());
    run("import -window " + window + " 'png:" + path + "'");
    return access(path.c_str(), R_OK) == 0;
}

} // namespace kvxtest
