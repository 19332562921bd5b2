// The real application under an X server of the test's own: it shows its one
// window, stays a single instance, says why when it does not start, quits
// cleanly on the platform's quit request, and keeps no font data in the user's
// cache folder.
#include "Support/Desktop/XvfbServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

// Bounds that only keep a broken test from hanging; nothing is timed.
constexpr auto startBound = std::chrono::seconds(60);

// With its standard error stream in errorFile, when one is named.
pid_t spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment,
            const std::string& errorFile)
{
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    std::vector<std::string> environment(extraEnvironment);
    for (char** entry = environ; *entry != nullptr; ++entry)
        environment.emplace_back(*entry);

    std::vector<char*> envp;
    for (const auto& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (! errorFile.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    pid_t pid = -1;
    const int failure = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failure == 0 ? pid : -1;
}

// The set of signals the process ignores, from its status; empty when unknown.
unsigned long long ignoredSignalsOf(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");

    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigIgn:", 0) == 0)
            return std::strtoull(line.c_str() + 7, nullptr, 16);

    return 0;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The exit status, or -1 when the process did not end normally (or within the bound).
int waitForExit(pid_t pid)
{
    const auto end = std::chrono::steady_clock::now() + startBound;

    for (;;)
    {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);

        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;

        if (done < 0 || std::chrono::steady_clock::now() > end)
            return -1;

        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

//==============================================================================
class ApplicationUnderXvfb : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        x = new kvxtest::XvfbServer();
        sessionFolder = makeRuntimeFolder();
        cacheFolder = makeRuntimeFolder();
    }

    static void TearDownTestSuite()
    {
        std::filesystem::remove_all(cacheFolder);
        std::filesystem::remove_all(sessionFolder);
        delete x;
    }

    // A user session's runtime folder of its own: a copy of the program that
    // runs elsewhere on the machine is another session's instance.
    static std::filesystem::path makeRuntimeFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvx-session-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        return made != nullptr ? std::filesystem::path(made) : std::filesystem::path();
    }

    void SetUp() override
    {
        if (x->display().empty())
            GTEST_SKIP() << "Xvfb, xdotool and import are needed to start the application (apt-get install xvfb xdotool imagemagick)";
    }

    void TearDown() override
    {
        for (pid_t pid : started)
            if (kill(pid, SIGKILL) == 0)
                waitpid(pid, nullptr, 0);
    }

    // An empty runtime folder leaves the session without one.
    pid_t startApplication(const std::filesystem::path& runtimeFolder = sessionFolder,
                           const std::vector<std::string>& moreEnvironment = {}, const std::string& errorFile = {})
    {
        // Under AddressSanitizer: the X libraries that JUCE loads at run time and
        // unloads at exit leave allocations that the leak checker cannot name, so
        // it would fail every clean exit. The application's own objects are
        // leak-checked by the component tests.
        const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
        std::vector<std::string> environment(moreEnvironment);
        environment.insert(environment.end(),
                           { "DISPLAY=" + x->display(), "XDG_RUNTIME_DIR=" + runtimeFolder.string(),
                             "XDG_CACHE_HOME=" + cacheFolder.string(),
                             "LANG=en_US.UTF-8", "LANGUAGE=en", "LC_ALL=en_US.UTF-8",
                             std::string("ASAN_OPTIONS=") + (sanitizerOptions != nullptr ? sanitizerOptions : "")
                                 + ":detect_leaks=0" });
        const pid_t pid = spawn({ KVX_APPLICATION_PATH }, environment, errorFile);
        if (pid > 0)
            started.push_back(pid);
        return pid;
    }

    void forget(pid_t pid)
    {
        started.erase(std::remove(started.begin(), started.end(), pid), started.end());
    }

    // The ids of the windows titled as the application's, in English.
    std::vector<std::string> applicationWindows() const
    {
        return x->findWindows("^Updater Program$");
    }

    bool waitForWindow(pid_t pid)
    {
        const auto end = std::chrono::steady_clock::now() + startBound;

        while (applicationWindows().empty())
        {
            if (waitpid(pid, nullptr, WNOHANG) != 0 || std::chrono::steady_clock::now() > end)
                return false;

            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }

        return true;
    }

    std::string geometryOf(const std::string& window) const
    {
        return x->windowGeometry(window);
    }

    int quitWith(pid_t pid, int signalNumber)
    {
        kill(pid, signalNumber);
        const int status = waitForExit(pid);
        forget(pid);
        return status;
    }

    static kvxtest::XvfbServer* x;
    static std::filesystem::path sessionFolder;
    static std::filesystem::path cacheFolder;
    std::vector<pid_t> started;
};

kvxtest::XvfbServer* ApplicationUnderXvfb::x = nullptr;
std::filesystem::path ApplicationUnderXvfb::sessionFolder;
std::filesystem::path ApplicationUnderXvfb::cacheFolder;

//==============================================================================
TEST_F(ApplicationUnderXvfb, ShowsOneWindowTitledInItsLanguageAndQuitsOnSigterm)
{
    const pid_t app = startApplication();
    ASSERT_GT(app, 0);
    ASSERT_TRUE(waitForWindow(app)) << "no window titled \"Updater Program\" appeared";

    const auto windows = applicationWindows();
    ASSERT_EQ(1u, windows.size());
    EXPECT_EQ("406x156", geometryOf(windows.front()));

    EXPECT_EQ(0, quitWith(app, SIGTERM));
    EXPECT_TRUE(applicationWindows().empty());
}

TEST_F(ApplicationUnderXvfb, QuitsCleanlyOnSigint)
{
    const pid_t app = startApplication();
    ASSERT_TRUE(waitForWindow(app));

    EXPECT_EQ(0, quitWith(app, SIGINT));
}

TEST_F(ApplicationUnderXvfb, SecondStartLeavesOneProcessAndOneWindow)
{
    const pid_t first = startApplication();
    ASSERT_TRUE(waitForWindow(first));

    const auto errorFile = sessionFolder / "second-start-errors.txt";
    const pid_t second = startApplication(sessionFolder, {}, errorFile);
    ASSERT_GT(second, 0);
    EXPECT_EQ(0, waitForExit(second)) << "the second start did not end by itself";
    forget(second);
    const auto errors = readFile(errorFile);
    EXPECT_NE(std::string::npos, errors.find("already running")) << errors;

    EXPECT_EQ(1u, applicationWindows().size());
    EXPECT_EQ(0, waitpid(first, nullptr, WNOHANG)) << "the first instance has ended";
    EXPECT_EQ(0, quitWith(first, SIGTERM));
}

TEST_F(ApplicationUnderXvfb, AnotherSessionsInstanceStartsItsOwn)
{
    const pid_t first = startApplication();
    ASSERT_TRUE(waitForWindow(first));

    const auto otherSession = makeRuntimeFolder();
    const pid_t second = startApplication(otherSession);
    const auto end = std::chrono::steady_clock::now() + startBound;

    while (applicationWindows().size() < 2 && waitpid(second, nullptr, WNOHANG) == 0
           && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    EXPECT_EQ(2u, applicationWindows().size()) << "the other session's start was turned away";
    EXPECT_EQ(0, quitWith(second, SIGTERM));
    EXPECT_EQ(0, quitWith(first, SIGTERM));
    std::filesystem::remove_all(otherSession);
}

// A start that can neither run nor hand over to a running copy says why,
// naming the folder of its lock, and fails.
TEST_F(ApplicationUnderXvfb, AStartThatCannotHandOverSaysWhyAndFails)
{
    // A copy that holds the lock and never answers: the test itself.
    const int lock = open((sessionFolder / "KVXUpdateProgram.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct flock wholeFile {};
    wholeFile.l_type = F_WRLCK;
    ASSERT_EQ(0, fcntl(lock, F_SETLK, &wholeFile));

    // Without a runtime folder: a link where the lock's own folder would be
    // made, as anyone may plant in a shared temporary folder.
    const auto temporaryFolder = makeRuntimeFolder();
    const auto privateFolder = temporaryFolder / ("KVXUpdateProgram-" + std::to_string(geteuid()));
    std::filesystem::create_directory_symlink(temporaryFolder, privateFolder);

    const std::pair<std::filesystem::path, std::filesystem::path> runtimeAndLockFolders[] = {
        { sessionFolder, sessionFolder }, { "", privateFolder } };

    for (const auto& [runtimeFolder, lockFolder] : runtimeAndLockFolders)
    {
        const auto errorFile = temporaryFolder / "errors.txt";
        const pid_t start = startApplication(runtimeFolder, { "TMPDIR=" + temporaryFolder.string() }, errorFile);
        ASSERT_GT(start, 0);
        EXPECT_EQ(1, waitForExit(start)) << lockFolder;
        forget(start);

        const auto errors = readFile(errorFile);
        EXPECT_NE(std::string::npos, errors.find(lockFolder.string())) << errors;
    }

    EXPECT_TRUE(applicationWindows().empty());
    close(lock);
    std::filesystem::remove_all(temporaryFolder);
}

// Started through nohup, it keeps ignoring the hang-up of its closed terminal.
TEST_F(ApplicationUnderXvfb, StartedToIgnoreHangUpsKeepsIgnoringThem)
{
    const auto previous = signal(SIGHUP, SIG_IGN);
    const pid_t app = startApplication();
    signal(SIGHUP, previous);
    ASSERT_TRUE(waitForWindow(app));

    // The window shows once the quit signals are set up.
    EXPECT_NE(0u, ignoredSignalsOf(app) & (1ull << (SIGHUP - 1))) << "SIGHUP is handled";

    EXPECT_EQ(0, quitWith(app, SIGTERM));
}

// Earlier versions copied the CJK font collections into the cache folder.
TEST_F(ApplicationUnderXvfb, StartRemovesEarlierFontCopiesAndWritesNone)
{
    const auto fontFolder = cacheFolder / "KVXUpdateProgram" / "fonts";
    std::filesystem::create_directories(fontFolder);
    std::ofstream(fontFolder / "NotoSansCJK-Regular.otf") << "font data";
    std::ofstream(fontFolder / "NotoSansCJK-Bold_temp3a4b5c6d.otf") << "font data";

    const pid_t app = startApplication();
    ASSERT_TRUE(waitForWindow(app));
    EXPECT_EQ(0, quitWith(app, SIGTERM));

    // Other programs may keep their own files there (gsettings' dconf does).
    std::vector<std::string> fontFiles;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(cacheFolder))
        if (entry.path().extension() == ".otf" || entry.path().extension() == ".ttf" || entry.path().extension() == ".ttc")
            fontFiles.push_back(entry.path().string());
    EXPECT_EQ(std::vector<std::string>(), fontFiles);
    EXPECT_FALSE(std::filesystem::exists(cacheFolder / "KVXUpdateProgram"));
}

} // namespace
