// Start-up to the first mapped window under an X server (DISPLAY, usually an
// Xvfb of bench/run.sh's own): the updater in English, Chinese, Japanese and
// Korean beside a bare JUCE window program built the same way, started in
// turns, and the updater's first start, in an empty cache folder of its own,
// beside its later ones. The language comes from LANG and LANGUAGE, as the
// updater reads it; each start has a runtime folder of its own, so that a copy
// running elsewhere cannot turn it away. The clock runs from the fork to the X
// server's MapNotify of the program's first top-level window; the program is
// then asked to quit (SIGTERM) and waited for before the next start. An
// earlier build of the updater, when given, is started in the same turns.
//
//   startup_time <updater> <bare window program> [rounds] [earlier updater]
#include "BenchFigures.h"

#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
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

struct Language
{
    const char* name;
    const char* locale;
};

const Language languages[] = { { "English", "en_US.UTF-8" }, { "Chinese", "zh_CN.UTF-8" },
                               { "Japanese", "ja_JP.UTF-8" }, { "Korean", "ko_KR.UTF-8" } };
const Language& english = languages[0];

pid_t start(const std::string& program, const std::string& cacheFolder, const std::string& runtimeFolder,
            const Language& language)
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        setenv("XDG_CACHE_HOME", cacheFolder.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtimeFolder.c_str(), 1);
        setenv("KVX_RUNTIME_ROOT", runtimeFolder.c_str(), 1);
        setenv("LANG", language.locale, 1);
        setenv("LANGUAGE", std::string(language.locale).substr(0, 5).c_str(), 1);
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
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
std::string makeFolder(const std::string& purpose)
{
    std::string pattern = (std::filesystem::temp_directory_path() / ("kvx-bench-" + purpose + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
        fail("cannot make a " + purpose + " folder");
    return pattern;
}

double timeToWindow(Display* display, const std::string& program, const std::string& cacheFolder,
                    const Language& language = english)
{
    const std::string runtimeFolder = makeFolder("runtime");
    XSync(display, True);
    const auto begin = Clock::now();
    const pid_t pid = start(program, cacheFolder, runtimeFolder, language);
    if (pid < 0 || ! waitForMappedWindow(display))
        fail(program + " showed no window");
    const double ms = microsecondsBetween(begin, Clock::now()) / 1000;
    stop(pid);
    std::filesystem::remove_all(runtimeFolder);
    return ms;
}

// Medians of the starts in each language, English first.
struct LanguageStarts
{
    std::vector<double> samples[std::size(languages)];

    void measure(Display* display, const std::string& program, const std::string& cacheFolder)
    {
        for (size_t i = 0; i < std::size(languages); ++i)
            samples[i].push_back(timeToWindow(display, program, cacheFolder, languages[i]));
    }

    double median(size_t language) const { return spreadOf(samples[language]).median; }
};

// One row per language but English, beside the English figure.
void printLanguageRows(const std::string& program, const LanguageStarts& starts)
{
    const double englishMs = starts.median(0);
    for (size_t i = 1; i < std::size(languages); ++i)
    {
        const double difference = starts.median(i) - englishMs;
        printRow("  " + program + languages[i].name, figure(starts.median(i), 1, "ms"),
                 "English " + figure(englishMs, 1, "ms"),
                 "<= English + 3 ms (" + std::string(difference >= 0 ? "+" : "") + figure(difference, 1, "ms") + ")",
                 difference <= 3);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        fail("usage: startup_time <updater> <bare window program> [rounds] [earlier updater]");
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 11;
    const std::string earlier = argc > 4 ? argv[4] : "";

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        fail("no X server on DISPLAY");
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);

    // One start of each first, so that all find their files in the page cache,
    // and the later starts find what the updater leaves in its cache folder.
    const std::string cacheFolder = makeFolder("cache");
    LanguageStarts warmUp, updater, earlierUpdater;
    std::vector<double> bare, firstStart;
    warmUp.measure(display, argv[1], cacheFolder);
    timeToWindow(display, argv[2], cacheFolder);
    if (! earlier.empty())
        warmUp.measure(display, earlier, cacheFolder);
    for (int round = 0; round < rounds; ++round)
    {
        updater.measure(display, argv[1], cacheFolder);
        if (! earlier.empty())
            earlierUpdater.measure(display, earlier, cacheFolder);
        bare.push_back(timeToWindow(display, argv[2], cacheFolder));
        const std::string emptyCacheFolder = makeFolder("cache");
        firstStart.push_back(timeToWindow(display, argv[1], emptyCacheFolder));
        std::filesystem::remove_all(emptyCacheFolder);
    }
    XCloseDisplay(display);
    std::filesystem::remove_all(cacheFolder);

    const double updaterMs = updater.median(0);
    const double bareMs = spreadOf(bare).median;
    const double firstStartMs = spreadOf(firstStart).median;
    printRow("start-up to first mapped window", figure(updaterMs, 1, "ms"), "bare window " + figure(bareMs, 1, "ms"),
             "<= 1.3 x bare (" + figure(updaterMs / bareMs, 2, "x") + ")", updaterMs <= 1.3 * bareMs);
    printLanguageRows("", updater);
    printRow("  first start, empty cache folder", figure(firstStartMs, 1, "ms"),
             "later start " + figure(updaterMs, 1, "ms"),
             "<= later + 10 ms (" + std::string(firstStartMs >= updaterMs ? "+" : "")
                 + figure(firstStartMs - updaterMs, 1, "ms") + ")",
             firstStartMs <= updaterMs + 10);
    if (! earlier.empty())
    {
        printRow("  earlier build, English", figure(earlierUpdater.median(0), 1, "ms"),
                 "this build " + figure(updaterMs, 1, "ms"), "-", true);
        printLanguageRows("earlier build, ", earlierUpdater);
    }
    return 0;
}
