// Start-up to the first mapped window under an X server (DISPLAY, usually an
// Xvfb of bench/run.sh's own): the updater beside a bare JUCE window program
// built the same way, started in turns, and the updater's first start, in an
// empty cache folder of its own, beside its later ones. The clock runs from the
// fork to the X server's MapNotify of the program's first top-level window; the
// program is then asked to quit (SIGTERM) and waited for before the next start.
//
//   startup_time <updater> <bare window program> [rounds]
#include "BenchFigures.h"

#include <X11/Xlib.h>

#include <csignal>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

using namespace bench;

constexpr int windowBoundMs = 30000;

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "startup_time: %s\n", what.c_str());
    std::exit(1);
}

pid_t start(const std::string& program, const std::string& cacheFolder)
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        setenv("XDG_CACHE_HOME", cacheFolder.c_str(), 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits for a top-level window to be mapped; false after the bound.
bool waitForMappedWindow(Display* display)
{
    const auto end = Clock::now() + std::chrono::milliseconds(windowBoundMs);
    pollfd connection { ConnectionNumber(display), POLLIN, 0 };
    while (Clock::now() < end)
    {
        while (XPending(display) > 0)
        {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && ! event.xmap.override_redirect)
                return true;
        }
        poll(&connection, 1, 100);
    }
    return false;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int waited = 0; waited < 100; ++waited)
    {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(50000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// An empty folder of its own under the temporary folder.
std::string makeCacheFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kvx-bench-cache-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        fail("cannot make a cache folder");
    return pattern;
}

double timeToWindow(Display* display, const std::string& program, const std::string& cacheFolder)
{
    XSync(display, True);
    const auto begin = Clock::now();
    const pid_t pid = start(program, cacheFolder);
    if (pid < 0 || ! waitForMappedWindow(display))
        fail(program + " showed no window");
    const double ms = microsecondsBetween(begin, Clock::now()) / 1000;
    stop(pid);
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        fail("usage: startup_time <updater> <bare window program> [rounds]");
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 11;

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        fail("no X server on DISPLAY");
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);

    // One start of each first, so that both find their files in the page cache,
    // and the later starts find what the updater leaves in its cache folder.
    const std::string cacheFolder = makeCacheFolder();
    timeToWindow(display, argv[1], cacheFolder);
    timeToWindow(display, argv[2], cacheFolder);
    std::vector<double> updater, bare, firstStart;
    for (int round = 0; round < rounds; ++round)
    {
        updater.push_back(timeToWindow(display, argv[1], cacheFolder));
        bare.push_back(timeToWindow(display, argv[2], cacheFolder));
        const std::string emptyCacheFolder = makeCacheFolder();
        firstStart.push_back(timeToWindow(display, argv[1], emptyCacheFolder));
        std::filesystem::remove_all(emptyCacheFolder);
    }
    XCloseDisplay(display);
    std::filesystem::remove_all(cacheFolder);

    const double updaterMs = spreadOf(updater).median;
    const double bareMs = spreadOf(bare).median;
    const double firstStartMs = spreadOf(firstStart).median;
    printRow("start-up to first mapped window", figure(updaterMs, 1, "ms"), "bare window " + figure(bareMs, 1, "ms"),
             "<= 1.3 x bare (" + figure(updaterMs / bareMs, 2, "x") + ")", updaterMs <= 1.3 * bareMs);
    printRow("  first start, empty cache folder", figure(firstStartMs, 1, "ms"),
             "later start " + figure(updaterMs, 1, "ms"),
             "<= later + 10 ms (" + std::string(firstStartMs >= updaterMs ? "+" : "")
                 + figure(firstStartMs - updaterMs, 1, "ms") + ")",
             firstStartMs <= updaterMs + 10);
    return 0;
}
