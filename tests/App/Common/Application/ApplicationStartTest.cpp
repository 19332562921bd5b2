// The real application under an X server of the test's own: it shows its one
// window, stays a single instance that a second start brings to the front,
// says why when it does not start, quits cleanly on the platform's quit
// request, and keeps no font data in the user's cache folder.
#include "HandOverProtocol.h"
#include "Support/Desktop/ApplicationEnvironment.h"
#include "Support/Desktop/XvfbServer.h"
#include "Support/SingleInstance/HandOverClient.h"
#include "Support/ProgramStart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace
{

// Bounds that only keep a broken test from hanging; nothing is timed.
constexpr auto startBound = std::chrono::seconds(60);

// The value of a field of the process's status, as written there; empty when
// unknown.
std::string statusField(pid_t pid, const std::string& field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");

    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return line.substr(field.size() + 1);

    return {};
}

// The set of signals the process ignores; empty when unknown.
unsigned long long ignoredSignalsOf(pid_t pid)
{
    return std::strtoull(statusField(pid, "SigIgn").c_str(), nullptr, 16);
}

// A figure of the process's memory in kB: "VmHWM" is the most it ever held.
long memoryOf(pid_t pid, const std::string& field)
{
    return std::strtol(statusField(pid, field).c_str(), nullptr, 10);
}

// True when the copy closed the connection without an answer.
bool closedWithoutAnswer(int connection)
{
    char answer = 0;
    const auto received = recv(connection, &answer, 1, 0);
    return received == 0 || (received < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

// A display that no X server serves here: Xlib reaches ":N" through
// /tmp/.X11-unix/XN or the abstract socket of that name.
std::string unservedDisplay()
{
    std::ifstream unixSockets("/proc/net/unix");
    const std::string listed((std::istreambuf_iterator<char>(unixSockets)), std::istreambuf_iterator<char>());

    for (int number = 900;; ++number)
    {
        const auto socketPath = "/tmp/.X11-unix/X" + std::to_string(number);

        if (! std::filesystem::exists(socketPath) && listed.find(socketPath + "\n") == std::string::npos)
            return ":" + std::to_string(number);
    }
}

// Waits until the condition holds; false when it did not within the bound.
bool waitUntil(const std::function<bool()>& condition)
{
    for (const auto end = std::chrono::steady_clock::now() + startBound; std::chrono::steady_clock::now() < end;)
    {
        if (condition())
            return true;

        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    return false;
}

// Stops the process; false when it did not show as stopped within the bound.
bool stopProcess(pid_t pid)
{
    kill(pid, SIGSTOP);
    return waitUntil([pid] { return statusField(pid, "State").find('T') != std::string::npos; });
}

// The processor time that the process has used, in clock ticks.
long long processorTicksOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command's name, which ends with the last ')':
    // state is the first, user and system time the 12th and 13th.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long long ticks = 0;

    for (int i = 1; i <= 13 && fields >> field; ++i)
        if (i >= 12)
            ticks += std::stoll(field);

    return ticks;
}

// An X server that accepts connections on display ":N" and never answers, as
// a hung or stopped one does: Xlib reaches it through the abstract socket.
class SilentXServer
{
public:
    explicit SilentXServer(const std::string& displayName)
    {
        const std::string socketName = "/tmp/.X11-unix/X" + displayName.substr(1);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        socketName.copy(address.sun_path + 1, sizeof(address.sun_path) - 2);
        const auto size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + socketName.size());
        listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);

        if (bind(listening, reinterpret_cast<const sockaddr*>(&address), size) != 0 || listen(listening, 4) != 0)
            close(std::exchange(listening, -1));
    }

    ~SilentXServer()
    {
        for (int descriptor : { client, listening })
            if (descriptor >= 0)
                close(descriptor);
    }

    SilentXServer(const SilentXServer&) = delete;
    SilentXServer& operator=(const SilentXServer&) = delete;

    // Waits for a client to connect; false when none did within the bound.
    bool acceptClient()
    {
        pollfd waiting { listening, POLLIN, 0 };
        const int bound = (int) std::chrono::duration_cast<std::chrono::milliseconds>(startBound).count();
        client = listening >= 0 && poll(&waiting, 1, bound) == 1 ? accept4(listening, nullptr, nullptr, SOCK_CLOEXEC) : -1;
        return client >= 0;
    }

private:
    int listening = -1;
    int client = -1;
};

// The lowest descriptor number that the process has free: with its limit
// there, it can open none.
long lowestFreeDescriptorOf(pid_t pid)
{
    std::vector<long> open;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
        open.push_back(std::stol(entry.path().filename().string()));
    std::sort(open.begin(), open.end());

    long lowest = 0;
    for (size_t i = 0; i < open.size() && open[i] == lowest; ++i)
        ++lowest;

    return lowest;
}

// The number of descriptors the process has open.
long descriptorsOf(pid_t pid)
{
    const std::filesystem::directory_iterator entries("/proc/" + std::to_string(pid) + "/fd");
    return std::distance(std::filesystem::begin(entries), std::filesystem::end(entries));
}

// One processor that a copy shares with busy loops of the test's own, as on a
// busy machine: the copy gets about its share of it, and no more.
class SharedProcessor
{
public:
    SharedProcessor()
    {
        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        sched_getaffinity(0, sizeof(allowed), &allowed);
        CPU_ZERO(&processor);
        for (int i = 0; i < CPU_SETSIZE; ++i)
            if (CPU_ISSET(i, &allowed))
            {
                CPU_SET(i, &processor);
                break;
            }
    }

    ~SharedProcessor()
    {
        stop = true;
        for (auto& loop : loops)
            loop.join();
    }

    SharedProcessor(const SharedProcessor&) = delete;
    SharedProcessor& operator=(const SharedProcessor&) = delete;

    // Every thread of the process; the threads it makes later follow.
    void pin(pid_t pid)
    {
        for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task"))
            sched_setaffinity(std::stoi(task.path().filename().string()), sizeof(processor), &processor);
    }

    void startLoops(int count)
    {
        for (int i = 0; i < count; ++i)
            loops.emplace_back([this] {
                pthread_setaffinity_np(pthread_self(), sizeof(processor), &processor);
                while (! stop)
                {
                }
            });
    }

    // The processor time that the loops have used.
    std::chrono::nanoseconds loopsTime()
    {
        std::chrono::nanoseconds total(0);
        for (auto& loop : loops)
        {
            clockid_t clock;
            timespec used {};
            if (pthread_getcpuclockid(loop.native_handle(), &clock) == 0 && clock_gettime(clock, &used) == 0)
                total += std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
        }
        return total;
    }

private:
    cpu_set_t processor;
    std::atomic<bool> stop { false };
    std::vector<std::thread> loops;
};

// The process that holds the copies' lock in the folder, once one does; -1
// when none does within the bound.
pid_t lockHolderIn(const std::filesystem::path& folder)
{
    const int lock = open((folder / "KVXUpdateProgram.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct flock wholeFile {};

    for (const auto end = std::chrono::steady_clock::now() + startBound; std::chrono::steady_clock::now() < end;)
    {
        wholeFile.l_type = F_WRLCK;

        if (fcntl(lock, F_GETLK, &wholeFile) == 0 && wholeFile.l_type != F_UNLCK)
            break;

        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    close(lock);
    return wholeFile.l_type == F_WRLCK ? wholeFile.l_pid : -1;
}

// The test in a running copy's place: it holds the lock and listens at the
// socket, and each start it accepts gets the answer that the test gives, or
// none.
class StandInCopy
{
public:
    explicit StandInCopy(const std::filesystem::path& folder) : socketPath(folder / "KVXUpdateProgram.socket")
    {
        lock = open((folder / "KVXUpdateProgram.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        struct flock wholeFile {};
        wholeFile.l_type = F_WRLCK;
        sockaddr_un address;
        listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        unlink(socketPath.c_str());
        ready = fcntl(lock, F_SETLK, &wholeFile) == 0 && HandOverProtocol::makeAddress(socketPath.c_str(), address)
             && bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0
             && listen(listening, 16) == 0;
    }

    ~StandInCopy() { end(); }

    StandInCopy(const StandInCopy&) = delete;
    StandInCopy& operator=(const StandInCopy&) = delete;

    bool isReady() const { return ready; }

    // Waits for the next start to connect; false when none did within the bound.
    bool acceptStart()
    {
        pollfd waiting { listening, POLLIN, 0 };
        const int bound = (int) std::chrono::duration_cast<std::chrono::milliseconds>(startBound).count();
        const int connection = poll(&waiting, 1, bound) == 1 ? accept4(listening, nullptr, nullptr, SOCK_CLOEXEC) : -1;

        if (connection >= 0)
            connections.push_back(connection);

        return connection >= 0;
    }

    void answerLatest(char answer) { send(connections.back(), &answer, 1, MSG_NOSIGNAL); }

    void dropLatest()
    {
        close(connections.back());
        connections.pop_back();
    }

    // As a copy that has ended: its starts unanswered, its lock and socket gone.
    void end()
    {
        for (int connection : connections)
            close(connection);

        connections.clear();
        unlink(socketPath.c_str());

        for (int* descriptor : { &listening, &lock })
            if (*descriptor >= 0)
                close(std::exchange(*descriptor, -1));
    }

private:
    const std::filesystem::path socketPath;
    int lock = -1;
    int listening = -1;
    bool ready = false;
    std::vector<int> connections;
};

// A connection of the test's own to the X server, which admits only the
// clients with its cookie. Xlib would use an authorization it was given for
// every later connection of the process: it forgets it once this one is made.
// The server resets as its last client leaves, and refuses connections
// meanwhile: a connection made then is tried again.
Display* openDisplayOf(const kvxtest::XvfbServer& x)
{
    std::string name = kvxtest::XvfbServer::cookieName;
    std::string cookie = x.cookie();
    XSetAuthorization(name.data(), (int) name.size(), cookie.data(), (int) cookie.size());
    Display* display = nullptr;
    waitUntil([&] { return (display = XOpenDisplay(x.display().c_str())) != nullptr; });
    XSetAuthorization(nullptr, 0, nullptr, 0);
    return display;
}

// The requests to bring a window to the front, as a window manager receives
// them: JUCE sends _NET_ACTIVE_WINDOW to the root window, and no window
// manager runs on the test's X server to take it.
class FrontRequests
{
public:
    explicit FrontRequests(const kvxtest::XvfbServer& x) : display(openDisplayOf(x))
    {
        if (display == nullptr)
            return;

        activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        XSync(display, False);
    }

    ~FrontRequests()
    {
        if (display != nullptr)
            XCloseDisplay(display);
    }

    FrontRequests(const FrontRequests&) = delete;
    FrontRequests& operator=(const FrontRequests&) = delete;

    // Waits until a window is mapped (shown); false when none was within the
    // bound. Other events that come first are dropped.
    bool waitForMap()
    {
        pollfd events { display != nullptr ? ConnectionNumber(display) : -1, POLLIN, 0 };
        const int bound = (int) std::chrono::duration_cast<std::chrono::milliseconds>(startBound).count();

        while (display != nullptr && (XPending(display) > 0 || poll(&events, 1, bound) == 1))
        {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify)
                return true;
        }

        return false;
    }

    // How many requests for the window arrived since the last call. The sender
    // synchronises with the server before it answers the start, so every
    // request made so far is in after this client's own round trip.
    int takeCountFor(const std::string& window)
    {
        if (display == nullptr)
            return -1;

        XSync(display, False);
        int count = 0;

        while (XPending(display) > 0)
        {
            XEvent event;
            XNextEvent(display, &event);
            count += event.type == ClientMessage && event.xclient.message_type == activeWindow
                  && event.xclient.window == std::stoul(window);
        }

        return count;
    }

private:
    Display* display;
    Atom activeWindow = None;
};

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

using kvxtest::waitForExit;

// Ends the process unless it has ended and been waited for.
void endIfRunning(pid_t pid)
{
    if (waitpid(pid, nullptr, WNOHANG) == 0 && kill(pid, SIGKILL) == 0)
        waitpid(pid, nullptr, 0);
}

//==============================================================================
class ApplicationUnderXvfb : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        x = new kvxtest::XvfbServer();
        sessionFolder = makeFolder();
        homeFolder = makeFolder();
        cacheFolder = homeFolder / ".cache";
        std::filesystem::create_directory(cacheFolder);
        runtimeRoot = makeFolder();
    }

    static void TearDownTestSuite()
    {
        std::filesystem::remove_all(runtimeRoot);
        std::filesystem::remove_all(homeFolder);
        std::filesystem::remove_all(sessionFolder);
        delete x;
    }

    static std::filesystem::path makeFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvx-session-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        return made != nullptr ? std::filesystem::path(made) : std::filesystem::path();
    }

    // A user session's runtime folder of its own: a copy of the program that
    // runs elsewhere on the machine is another session's instance. It goes
    // with the test, whether the test passes or not.
    std::filesystem::path makeRuntimeFolder()
    {
        testFolders.push_back(makeFolder());
        return testFolders.back();
    }

    void SetUp() override
    {
        if (x->display().empty())
            GTEST_SKIP() << "Xvfb, xdotool and import are needed to start the application (apt-get install xvfb xdotool imagemagick)";
    }

    void TearDown() override
    {
        for (pid_t pid : started)
            endIfRunning(pid);

        for (const auto& folder : testFolders)
            std::filesystem::remove_all(folder);
    }

    // An empty runtime folder leaves the session without one. Unless the
    // environment given names another, the users' runtime folders are in a
    // root of the suite's own that has none for this user: the user's running
    // copy and other tests' copies are elsewhere.
    pid_t startApplication(const std::filesystem::path& runtimeFolder = sessionFolder,
                           const std::vector<std::string>& moreEnvironment = {}, const std::string& errorFile = {},
                           const std::vector<std::string>& arguments = {},
                           const std::vector<int>& ignoredSignals = {})
    {
        std::vector<std::string> environment(moreEnvironment);
        const auto applicationEnvironment
            = kvxtest::applicationEnvironment(*x, { homeFolder, runtimeFolder, runtimeRoot });
        environment.insert(environment.end(), applicationEnvironment.begin(), applicationEnvironment.end());
        kvxtest::ProgramStart start;
        start.arguments = { KVX_APPLICATION_PATH };
        start.arguments.insert(start.arguments.end(), arguments.begin(), arguments.end());
        start.environment = kvxtest::environmentWith(environment);
        start.ignoredSignals = ignoredSignals;
        start.errorFile = errorFile;
        const pid_t pid = kvxtest::startProgram(start);
        if (pid > 0)
            started.push_back(pid);
        return pid;
    }

    // As started through nohup or as a script's background job.
    pid_t startApplicationIgnoring(const std::vector<int>& signalNumbers)
    {
        return startApplication(sessionFolder, {}, {}, {}, signalNumbers);
    }

    // A start that is expected to end by itself: its exit status and what it
    // said; -1 when it did not end within the bound.
    std::pair<int, std::string> startToEnd(const std::vector<std::string>& moreEnvironment = {},
                                           const std::vector<std::string>& arguments = {},
                                           const std::filesystem::path& runtimeFolder = sessionFolder)
    {
        const auto errorFile = makeRuntimeFolder() / "errors.txt";
        const pid_t start = startApplication(runtimeFolder, moreEnvironment, errorFile, arguments);
        const int status = waitForExit(start);
        if (status >= 0)
            forget(start);
        const auto errors = readFile(errorFile);
        return { status, errors };
    }

    // The window's id, or empty when the process ends before it has one.
    std::string windowOf(pid_t pid)
    {
        return waitForWindow(pid) ? applicationWindows().front() : std::string();
    }

    // One that outlived its test's bounded wait is ended here, or it would
    // take part in every later test.
    void forget(pid_t pid)
    {
        endIfRunning(pid);
        started.erase(std::remove(started.begin(), started.end(), pid), started.end());
    }

    // The ids of the windows titled as the application's, in English.
    std::vector<std::string> applicationWindows() const
    {
        return x->findWindows(applicationTitle);
    }

    bool waitForWindow(pid_t pid)
    {
        return ! x->waitForWindow(applicationTitle, pid).empty();
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

    static constexpr const char* applicationTitle = "^Updater Program$";
    static kvxtest::XvfbServer* x;
    static std::filesystem::path sessionFolder;
    static std::filesystem::path homeFolder;
    static std::filesystem::path cacheFolder;
    static std::filesystem::path runtimeRoot;
    std::vector<pid_t> started;
    std::vector<std::filesystem::path> testFolders;
};

kvxtest::XvfbServer* ApplicationUnderXvfb::x = nullptr;
std::filesystem::path ApplicationUnderXvfb::sessionFolder;
std::filesystem::path ApplicationUnderXvfb::homeFolder;
std::filesystem::path ApplicationUnderXvfb::cacheFolder;
std::filesystem::path ApplicationUnderXvfb::runtimeRoot;

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

// A copy started elsewhere without DISPLAY tries ":0", which may be the test's
// X server: without the server's cookie it shows no window there.
TEST_F(ApplicationUnderXvfb, ACopyWithoutTheServersCookieShowsNoWindow)
{
    ASSERT_FALSE(kvxtest::admitsStrangers(x->display()))
        << "the test's X server (" << x->display() << ") admits clients that lack its cookie: "
        << "something let it admit everyone, so this test cannot tell whether the copy stays off";
    const auto otherSession = makeRuntimeFolder();

    const auto [status, errors] = startToEnd({ "XAUTHORITY=" + (otherSession / "none").string() }, {}, otherSession);

    EXPECT_EQ(1, status) << errors;
    EXPECT_TRUE(applicationWindows().empty());
}

TEST_F(ApplicationUnderXvfb, QuitsCleanlyOnSigint)
{
    const pid_t app = startApplication();
    ASSERT_TRUE(waitForWindow(app));

    EXPECT_EQ(0, quitWith(app, SIGINT));
}

// Without a display there is no window to make: the start says which display
// it tried, and leaves no socket behind for later starts to try. With DISPLAY
// empty it tries ":0.0", as JUCE does, and says that DISPLAY is empty.
TEST_F(ApplicationUnderXvfb, WithoutADisplaySaysSoAndLeavesNoSocket)
{
    const auto display = unservedDisplay();

    const auto [status, errors] = startToEnd({ "DISPLAY=" + display });

    EXPECT_EQ(1, status) << errors;
    EXPECT_NE(std::string::npos, errors.find("\"" + display + "\"")) << errors;
    EXPECT_FALSE(std::filesystem::exists(sessionFolder / "KVXUpdateProgram.socket"));

    // ":0" may be unserved, or this or another test's X server, which refuses a
    // copy without its cookie; a desktop's that admits every process of the
    // user would take the copy.
    if (kvxtest::admitsStrangers(":0"))
        GTEST_SKIP() << "the X server of \":0\" admits clients without a cookie: a copy with an empty DISPLAY runs there";
    const auto [emptyStatus, emptyErrors] = startToEnd({ "DISPLAY=", "XAUTHORITY=" + (sessionFolder / "none").string() });
    EXPECT_EQ(1, emptyStatus) << emptyErrors;
    EXPECT_NE(std::string::npos, emptyErrors.find("DISPLAY is empty, and the display \":0.0\" cannot be opened"))
        << emptyErrors;
}

// A quit signal that reaches a copy whose message thread is held up (here: the
// whole copy stopped) wins over a start that arrives with it: the start learns
// that the copy is quitting, and no window is left.
TEST_F(ApplicationUnderXvfb, AQuitThatHasBegunWinsOverALaterStart)
{
    const pid_t app = startApplication();
    ASSERT_TRUE(waitForWindow(app));

    ASSERT_TRUE(stopProcess(app)) << "State:" << statusField(app, "State");
    kill(app, SIGTERM);
    const int start = kvxtest::connectToCopy(sessionFolder / "KVXUpdateProgram.socket");
    const HandOverProtocol::Header header { HandOverProtocol::magic, 0 };
    ASSERT_EQ((ssize_t) sizeof(header), send(start, &header, sizeof(header), MSG_NOSIGNAL));
    kill(app, SIGCONT);

    char answer = 0;
    EXPECT_EQ(1, recv(start, &answer, 1, 0));
    EXPECT_EQ(HandOverProtocol::quitting, answer);
    close(start);
    EXPECT_EQ(0, waitForExit(app));
    forget(app);
    EXPECT_TRUE(applicationWindows().empty());
}

// A start held up before its window, here by an X server that never answers,
// ends at once on a quit signal, and leaves nothing that holds up the next.
TEST_F(ApplicationUnderXvfb, AStartHeldUpBeforeItsWindowEndsOnAQuitSignal)
{
    const auto display = unservedDisplay();
    SilentXServer silentServer(display);
    const pid_t held = startApplication(sessionFolder, { "DISPLAY=" + display });
    ASSERT_TRUE(silentServer.acceptClient());

    kill(held, SIGTERM);
    EXPECT_EQ(128 + SIGTERM, waitForExit(held));
    forget(held);

    const pid_t next = startApplication();
    ASSERT_TRUE(waitForWindow(next));
    EXPECT_EQ(0, quitWith(next, SIGTERM));
}

// Two starts that wait for a quitting copy: once it has gone, one of them runs
// and the other hands over to it.
TEST_F(ApplicationUnderXvfb, TwoStartsDuringAQuitEndWithOneWindow)
{
    StandInCopy quitting(sessionFolder);
    ASSERT_TRUE(quitting.isReady());
    const std::string errorFiles[] = { sessionFolder / "first.txt", sessionFolder / "second.txt" };
    const pid_t starts[] = { startApplication(sessionFolder, {}, errorFiles[0]),
                             startApplication(sessionFolder, {}, errorFiles[1]) };
    for (int i = 0; i < 2; ++i)
    {
        ASSERT_TRUE(quitting.acceptStart());
        quitting.answerLatest(HandOverProtocol::quitting);
    }
    quitting.end();

    const pid_t running = lockHolderIn(sessionFolder);
    ASSERT_TRUE(running == starts[0] || running == starts[1]) << running;
    const size_t other = running == starts[0] ? 1 : 0;
    EXPECT_EQ(0, waitForExit(starts[other])) << readFile(errorFiles[other]);
    forget(starts[other]);
    EXPECT_NE(std::string::npos, readFile(errorFiles[other]).find("already running")) << readFile(errorFiles[other]);

    ASSERT_TRUE(waitForWindow(running));
    EXPECT_EQ(1u, applicationWindows().size());
    EXPECT_EQ(0, quitWith(running, SIGTERM));
}

// A copy stopped for longer than a start's answer bound while the start waits:
// once it goes on, the start hears its answer. A start that left meanwhile
// does not bring the window forward.
TEST_F(ApplicationUnderXvfb, AStartHearsACopyThatWasStoppedAWhile)
{
    const pid_t app = startApplication();
    const auto window = windowOf(app);
    ASSERT_FALSE(window.empty());
    FrontRequests frontRequests(*x);

    ASSERT_TRUE(stopProcess(app));
    const auto errorFile = sessionFolder / "waiting.txt";
    const pid_t waiting = startApplication(sessionFolder, {}, errorFile, { "update.upd" });
    close(kvxtest::connectWholeStart(sessionFolder / "KVXUpdateProgram.socket", "gone.upd"));
    std::this_thread::sleep_for(std::chrono::seconds(9));
    kill(app, SIGCONT);

    EXPECT_EQ(0, waitForExit(waiting)) << readFile(errorFile);
    forget(waiting);
    EXPECT_EQ(0, quitWith(app, SIGTERM));
    EXPECT_EQ(1, frontRequests.takeCountFor(window));
}

// A quit signal right after the window shows, with the copy's processor busy:
// the copy quits in its usual order, and a start that reached it just before
// hears its answer.
TEST_F(ApplicationUnderXvfb, AQuitRightAfterTheWindowShowsIsClean)
{
    FrontRequests shown(*x);
    SharedProcessor shared;
    shared.startLoops(2);
    const pid_t app = startApplication();
    shared.pin(app);

    ASSERT_TRUE(shown.waitForMap());
    const int start = kvxtest::connectWholeStart(sessionFolder / "KVXUpdateProgram.socket", "update.upd");
    kill(app, SIGTERM);

    EXPECT_EQ(0, waitForExit(app));
    forget(app);
    EXPECT_NE(0, kvxtest::answerTo(start));
}

// Connections left open and silent, more of them than the copy keeps, hold up
// no start, nor make the copy hold a descriptor for each. Short of descriptors,
// the copy neither spins on the starts it cannot accept nor forgets them.
TEST_F(ApplicationUnderXvfb, HeldConnectionsAndWantOfDescriptorsHoldUpNoStart)
{
    const pid_t app = startApplication();
    ASSERT_TRUE(waitForWindow(app));
    const auto socketPath = sessionFolder / "KVXUpdateProgram.socket";
    const long descriptorsBefore = descriptorsOf(app);

    std::vector<int> silent;
    for (int i = 0; i < 64; ++i)
        silent.push_back(kvxtest::connectToCopy(socketPath));
    const auto [status, errors] = startToEnd();

    EXPECT_EQ(0, status) << errors;
    EXPECT_LT(descriptorsOf(app) - descriptorsBefore, 32);
    for (int connection : silent)
        close(connection);

    // With the limit at the lowest free descriptor, the copy can open none.
    ASSERT_TRUE(waitUntil([&] { return descriptorsOf(app) <= descriptorsBefore; }));
    rlimit limits {};
    ASSERT_EQ(0, prlimit(app, RLIMIT_NOFILE, nullptr, &limits));
    const rlimit tight { (rlim_t) lowestFreeDescriptorOf(app), limits.rlim_max };
    ASSERT_EQ(0, prlimit(app, RLIMIT_NOFILE, &tight, nullptr));
    std::vector<int> waiting;
    for (int i = 0; i < 40; ++i)
        waiting.push_back(kvxtest::connectWholeStart(socketPath));
    // Sharing a processor with a busy loop, a spinning copy would get about
    // as much of it as the loop; one that pauses, almost none.
    SharedProcessor shared;
    shared.pin(app);
    shared.startLoops(1);
    const auto loopBefore = shared.loopsTime();
    const long long ticksBefore = processorTicksOf(app);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::chrono::nanoseconds copyTime((processorTicksOf(app) - ticksBefore) * 1000000000LL / sysconf(_SC_CLK_TCK));
    const auto loopTime = shared.loopsTime() - loopBefore;
    EXPECT_LT(copyTime.count(), loopTime.count() / 4) << "ns of the copy against ns of the loop";
    ASSERT_EQ(0, prlimit(app, RLIMIT_NOFILE, &limits, nullptr));
    for (int start : waiting)
        EXPECT_EQ(HandOverProtocol::windowComesToFront, kvxtest::answerTo(start));

    EXPECT_EQ(0, quitWith(app, SIGTERM));
}

// A copy that closes a start's connection unanswered (one of a crowd, or one
// whose window stayed busy) is alive and listening: the start asks again.
TEST_F(ApplicationUnderXvfb, AStartThatTheCopyDroppedAsksAgain)
{
    StandInCopy copy(sessionFolder);
    ASSERT_TRUE(copy.isReady());

    const pid_t start = startApplication();
    ASSERT_TRUE(copy.acceptStart());
    copy.dropLatest();
    ASSERT_TRUE(copy.acceptStart());
    copy.answerLatest(HandOverProtocol::windowComesToFront);

    EXPECT_EQ(0, waitForExit(start));
    forget(start);
}

// Ctrl-C ends a start that waits for a copy that does not answer, unless the
// start was made to ignore it; that one runs once the copy has gone.
TEST_F(ApplicationUnderXvfb, CtrlCEndsAWaitingStartUnlessIgnoredAtItsStart)
{
    StandInCopy stalled(sessionFolder);
    ASSERT_TRUE(stalled.isReady());

    const pid_t interrupted = startApplication();
    ASSERT_TRUE(stalled.acceptStart());
    kill(interrupted, SIGINT);
    EXPECT_EQ(128 + SIGINT, waitForExit(interrupted));
    forget(interrupted);

    const pid_t ignoring = startApplicationIgnoring({ SIGINT });
    ASSERT_TRUE(stalled.acceptStart());
    kill(ignoring, SIGINT);
    stalled.end();
    ASSERT_TRUE(waitForWindow(ignoring));
    EXPECT_EQ(0, quitWith(ignoring, SIGTERM));
}

// Every later start reaches the running copy, which brings its window to the
// front and says so: also after connections that are not a start's, and
// starts in a crowd, none of which ends its listening or makes it keep what
// they send.
TEST_F(ApplicationUnderXvfb, EveryLaterStartBringsTheWindowForward)
{
    // File names need not be UTF-8, and a launcher may pass one.
    const pid_t first = startApplication(sessionFolder, {}, {}, { "\x80" "AAAAAAAAAAAAAAAA" });
    const auto window = windowOf(first);
    ASSERT_FALSE(window.empty());
    FrontRequests frontRequests(*x);
    const auto socketPath = sessionFolder / "KVXUpdateProgram.socket";

    // As a launcher starts it: without arguments, or with a file name.
    for (const auto& arguments : std::vector<std::vector<std::string>> { {}, { "a\xf0" }, { "caf\xe9.upd" } })
    {
        const auto [status, errors] = startToEnd({}, arguments);
        EXPECT_EQ(0, status) << errors;
        EXPECT_NE(std::string::npos, errors.find("already running")) << errors;
    }
    EXPECT_EQ(3, frontRequests.takeCountFor(window));
    const long peakMemoryBefore = memoryOf(first, "VmHWM");

    const int garbage = kvxtest::connectToCopy(socketPath);
    EXPECT_EQ(16, send(garbage, "not a hand-over!", 16, MSG_NOSIGNAL));
    EXPECT_TRUE(closedWithoutAnswer(garbage));
    close(garbage);

    close(kvxtest::connectToCopy(socketPath));

    // A claim of 2 GiB, and more sent than the copy may keep.
    const int greedy = kvxtest::connectToCopy(socketPath);
    const HandOverProtocol::Header claim { HandOverProtocol::magic, 0x80000000u };
    const std::vector<char> filler(16 << 20, 'x');
    send(greedy, &claim, sizeof(claim), MSG_NOSIGNAL);
    send(greedy, filler.data(), filler.size(), MSG_NOSIGNAL);
    EXPECT_TRUE(closedWithoutAnswer(greedy));
    close(greedy);

    // Eight starts at once with long arguments, while a connection sends nothing.
    const int silent = kvxtest::connectToCopy(socketPath);
    std::vector<std::pair<pid_t, std::filesystem::path>> crowd;
    for (int i = 0; i < 8; ++i)
    {
        const auto errorFile = sessionFolder / ("crowd-" + std::to_string(i) + ".txt");
        const std::string longArgument(100000, static_cast<char>('a' + i));
        crowd.emplace_back(startApplication(sessionFolder, {}, errorFile, { longArgument }), errorFile);
    }
    for (const auto& [start, errorFile] : crowd)
    {
        EXPECT_EQ(0, waitForExit(start)) << readFile(errorFile);
        forget(start);
        EXPECT_NE(std::string::npos, readFile(errorFile).find("already running")) << readFile(errorFile);
    }
    EXPECT_EQ(8, frontRequests.takeCountFor(window));
    EXPECT_TRUE(closedWithoutAnswer(silent));
    close(silent);

    // More whole starts than the copy holds at once, all waiting for a copy
    // that was stopped: each is answered.
    ASSERT_TRUE(stopProcess(first));
    std::vector<int> wholeStarts;
    for (int i = 0; i < 20; ++i)
        wholeStarts.push_back(kvxtest::connectWholeStart(socketPath, "update-" + std::to_string(i) + ".upd"));
    kill(first, SIGCONT);
    for (int start : wholeStarts)
        EXPECT_EQ(HandOverProtocol::windowComesToFront, kvxtest::answerTo(start));
    EXPECT_EQ(20, frontRequests.takeCountFor(window));

    // As many starts as the copy holds, whose command lines come once it has
    // taken them in: none makes way for a start that is not there.
    ASSERT_TRUE(stopProcess(first));
    const HandOverProtocol::Header header { HandOverProtocol::magic, 10 };
    std::vector<int> slowStarts;
    for (int i = 0; i < 16; ++i)
    {
        slowStarts.push_back(kvxtest::connectToCopy(socketPath));
        send(slowStarts.back(), &header, sizeof(header), MSG_NOSIGNAL);
    }
    kill(first, SIGCONT);
    for (int start : slowStarts)
        ASSERT_TRUE(kvxtest::waitUntilRead(start));
    for (int start : slowStarts)
        send(start, "update.upd", 10, MSG_NOSIGNAL);
    for (int start : slowStarts)
        EXPECT_EQ(HandOverProtocol::windowComesToFront, kvxtest::answerTo(start));
    EXPECT_EQ(16, frontRequests.takeCountFor(window));

    // Well within the copy's bound for a busy window: an idle copy answers
    // as soon as its window has come forward.
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(HandOverProtocol::windowComesToFront, kvxtest::answerTo(kvxtest::connectWholeStart(socketPath)));
    const auto answeredAfter = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(answeredAfter).count(), 2000) << "ms";
    EXPECT_EQ(1, frontRequests.takeCountFor(window));

    const auto [lastStatus, lastErrors] = startToEnd();
    EXPECT_EQ(0, lastStatus) << lastErrors;
    EXPECT_EQ(1, frontRequests.takeCountFor(window));

    const long peakGrowth = memoryOf(first, "VmHWM") - peakMemoryBefore;
    EXPECT_LT(peakGrowth, 4096) << "kB more at the copy's peak";
    EXPECT_EQ(1u, applicationWindows().size());
    EXPECT_EQ(0, quitWith(first, SIGTERM));
}

// Started from the desktop, from a shell without a session, with another
// temporary folder or in another session, one user's starts meet in the
// user's own runtime folder.
TEST_F(ApplicationUnderXvfb, OneUsersStartsMeetWhateverTheirEnvironment)
{
    const auto root = makeRuntimeFolder();
    const auto usersFolder = root / std::to_string(geteuid());
    std::filesystem::create_directory(usersFolder);
    std::filesystem::permissions(usersFolder, std::filesystem::perms::owner_all);
    const auto otherFolder = makeRuntimeFolder();
    const std::vector<std::string> environment { "KVX_RUNTIME_ROOT=" + root.string(), "TMPDIR=" + otherFolder.string() };

    const pid_t first = startApplication(sessionFolder, environment);
    ASSERT_TRUE(waitForWindow(first));

    for (const auto& runtimeFolder : { std::filesystem::path(), otherFolder })
    {
        const auto [status, errors] = startToEnd(environment, {}, runtimeFolder);
        EXPECT_EQ(0, status) << runtimeFolder << ": " << errors;
        EXPECT_NE(std::string::npos, errors.find("already running")) << errors;
    }

    EXPECT_EQ(1u, applicationWindows().size());
    EXPECT_EQ(0, quitWith(first, SIGTERM));
}

// A start that can neither run nor hand over to a running copy says why,
// naming the folder of its lock, and fails.
TEST_F(ApplicationUnderXvfb, AStartThatCannotHandOverSaysWhyAndFails)
{
    // A copy that says it is quitting and never ends: the test itself.
    StandInCopy neverEnding(sessionFolder);
    ASSERT_TRUE(neverEnding.isReady());

    // Without a runtime folder: a link where the lock's own folder would be
    // made, as anyone may plant in a shared temporary folder.
    const auto temporaryFolder = makeRuntimeFolder();
    const auto privateFolder = temporaryFolder / ("KVXUpdateProgram-" + std::to_string(geteuid()));
    std::filesystem::create_directory_symlink(temporaryFolder, privateFolder);

    const std::tuple<std::filesystem::path, std::filesystem::path, std::string> runtimeAndLockFoldersAndWhy[] = {
        { sessionFolder, sessionFolder, "is quitting" }, { "", privateFolder, "is a link" } };

    for (const auto& [runtimeFolder, lockFolder, why] : runtimeAndLockFoldersAndWhy)
    {
        const auto errorFile = temporaryFolder / "errors.txt";
        const pid_t start = startApplication(runtimeFolder, { "TMPDIR=" + temporaryFolder.string() }, errorFile);
        ASSERT_GT(start, 0);
        if (runtimeFolder == sessionFolder && neverEnding.acceptStart())
            neverEnding.answerLatest(HandOverProtocol::quitting);
        EXPECT_EQ(1, waitForExit(start)) << lockFolder;
        forget(start);

        const auto errors = readFile(errorFile);
        EXPECT_NE(std::string::npos, errors.find(lockFolder.string())) << errors;
        EXPECT_NE(std::string::npos, errors.find(why)) << errors;
    }

    EXPECT_TRUE(applicationWindows().empty());
}

// Names and values that are not UTF-8, as the environment may hold them: the
// copy runs in a lock folder so named, without the values that only JUCE would
// read (saying so), a later start hands over to it, and it quits cleanly.
TEST_F(ApplicationUnderXvfb, RunsAndHandsOverWhereNamesAreNotUtf8)
{
    // Bytes on which JUCE writes past its buffer: the home's in a Release build
    // too, the others' under AddressSanitizer.
    const std::string home = "/x\xff\xfe\xc0\xe0";
    const std::string strayContinuation = "/\x80" + std::string(16, 'A');
    const auto parent = makeRuntimeFolder();
    const std::filesystem::path oddRoot = parent.string() + strayContinuation;
    const auto oddFolder = oddRoot / std::to_string(geteuid());
    std::filesystem::create_directories(oddFolder);
    std::filesystem::permissions(oddFolder, std::filesystem::perms::owner_all);
    const std::vector<std::string> unreadable { "HOME=" + home, "JUCE_FONT_PATH=" + strayContinuation,
                                                "XDG_DATA_HOME=" + strayContinuation,
                                                "XDG_CACHE_HOME=" + strayContinuation };

    // The lock folder as KVX_RUNTIME_ROOT, XDG_RUNTIME_DIR or TMPDIR names it.
    const auto privateFolder = oddFolder / ("KVXUpdateProgram-" + std::to_string(geteuid()));
    const std::tuple<std::filesystem::path, std::string, std::filesystem::path> runtimeFoldersMoreAndLockFolders[] = {
        { "", "KVX_RUNTIME_ROOT=" + oddRoot.string(), oddFolder }, { oddFolder, "", oddFolder },
        { "", "TMPDIR=" + oddFolder.string(), privateFolder } };

    for (const auto& [runtimeFolder, more, lockFolder] : runtimeFoldersMoreAndLockFolders)
    {
        auto environment = unreadable;
        if (! more.empty())
            environment.push_back(more);
        const auto errorFile = parent / "errors.txt";
        const pid_t first = startApplication(runtimeFolder, environment, errorFile);
        ASSERT_TRUE(waitForWindow(first)) << more << ": " << readFile(errorFile);
        EXPECT_EQ(first, lockHolderIn(lockFolder)) << more;

        const auto [status, errors] = startToEnd(environment, {}, runtimeFolder);
        EXPECT_EQ(0, status) << more << ": " << errors;
        EXPECT_NE(std::string::npos, errors.find("already running")) << more << ": " << errors;
        EXPECT_EQ(0, quitWith(first, SIGTERM)) << more;
        EXPECT_NE(std::string::npos, readFile(errorFile).find("home folder \"" + home + "\"")) << readFile(errorFile);
    }

    // Started from a folder so named, with such a font file in the folder
    // that JUCE_FONT_PATH names, where JUCE's font scan would have read it.
    const std::string longStray = "\x80" + std::string(24, 'A');
    const auto fonts = parent / "fonts";
    std::filesystem::create_directories(fonts / longStray);
    std::ofstream(fonts / (longStray + ".ttf")) << "font data";
    const auto errorFile = parent / "errors.txt";
    const auto testsFolder = std::filesystem::current_path();
    std::filesystem::current_path(fonts / longStray);
    const pid_t app = startApplication(sessionFolder, { "JUCE_FONT_PATH=" + fonts.string() }, errorFile);
    std::filesystem::current_path(testsFolder);
    ASSERT_TRUE(waitForWindow(app)) << readFile(errorFile);
    EXPECT_EQ(0, quitWith(app, SIGTERM));
    EXPECT_NE(std::string::npos, readFile(errorFile).find("working folder")) << readFile(errorFile);
}

// Started through nohup or as a script's background job, it keeps ignoring the
// hang-up of its closed terminal and the terminal's interrupt, and still quits
// on the platform's quit request.
TEST_F(ApplicationUnderXvfb, StartedToIgnoreHangUpsAndInterruptsKeepsIgnoringThem)
{
    const pid_t app = startApplicationIgnoring({ SIGHUP, SIGINT });
    ASSERT_TRUE(waitForWindow(app));

    // The window shows once the quit signals are set up.
    const auto ignored = ignoredSignalsOf(app);
    EXPECT_NE(0u, ignored & (1ull << (SIGHUP - 1))) << "SIGHUP is handled";
    EXPECT_NE(0u, ignored & (1ull << (SIGINT - 1))) << "SIGINT is handled";

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


//==============================================================================
// Every face comes from fontconfig, read in place: no name in a font folder
// reaches JUCE, and JUCE scans no font folder.

// The names of the files opened in a folder, as inotify reports them.
class OpenedFiles
{
public:
    explicit OpenedFiles(const std::filesystem::path& folder) : descriptor(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(descriptor, folder.c_str(), IN_OPEN);
    }

    ~OpenedFiles() { close(descriptor); }

    OpenedFiles(const OpenedFiles&) = delete;
    OpenedFiles& operator=(const OpenedFiles&) = delete;

    // Those opened since the last call.
    std::set<std::string> take()
    {
        std::set<std::string> names;
        alignas(inotify_event) char buffer[4096];

        for (ssize_t size; (size = read(descriptor, buffer, sizeof(buffer))) > 0;)
            for (ssize_t at = 0; at < size; at += (ssize_t) (sizeof(inotify_event) + reinterpret_cast<const inotify_event*>(buffer + at)->len))
                if (const auto* event = reinterpret_cast<const inotify_event*>(buffer + at); event->len > 0)
                    names.insert(event->name);

        return names;
    }

private:
    int descriptor;
};

// The picture's pixels as bytes, through ImageMagick; empty when it cannot be read.
std::string pixelsOf(const std::filesystem::path& picture)
{
    return kvxtest::runWithoutPreloads("convert 'png:" + picture.string() + "' -depth 8 rgb:-");
}

// A home with names of every kind in its font folder and its cache folder: an
// overlong form, a surrogate, Latin-1 and a stray byte, a folder "a,b" that
// holds a font, and two links to the folder itself. The window shows as it
// does from a clean home, and the copy quits cleanly.
TEST_F(ApplicationUnderXvfb, NamesOfEveryKindInTheFontFoldersChangeNothingOnScreen)
{
    const auto oddHome = makeRuntimeFolder(), cleanHome = makeRuntimeFolder();
    const auto fonts = oddHome / ".local" / "share" / "fonts";
    const std::string letters(36, 'A');
    std::string overlongPairs;
    for (int i = 0; i < 60; ++i)
        overlongPairs += "\xc1\x81";
    for (const auto& folder : { fonts / "a,b", fonts / overlongPairs, oddHome / ".cache" / "KVXUpdateProgram" / "fonts" })
        std::filesystem::create_directories(folder);
    for (const auto& file : { fonts / ("f\xc0\x80" + letters + ".ttf"), fonts / ("\xed\xa0\x80" + letters + ".otf"),
                              fonts / ("Caf\xe9" + letters + ".ttf"), fonts / "a,b" / "font.ttf", fonts / overlongPairs / "font.ttf",
                              oddHome / ".cache" / "KVXUpdateProgram" / "fonts" / ("\x80" + letters + ".otf") })
        std::ofstream(file) << "font data";
    std::filesystem::create_directory_symlink(".", fonts / "l1");
    std::filesystem::create_directory_symlink(".", fonts / "l2");
    // The system's folders and the home's, as Debian's fonts.conf names them;
    // fontconfig writes the caches it makes into the home's cache folder, even
    // for a test run by root, who could write into the system's.
    const auto configuration = oddHome / "fonts.conf";
    std::ofstream(configuration) << "<fontconfig><dir>/usr/share/fonts</dir><dir prefix=\"xdg\">fonts</dir>"
                                    "<cachedir prefix=\"xdg\">fontconfig</cachedir><cachedir>/var/cache/fontconfig</cachedir></fontconfig>";

    std::string pictures[2];
    for (const auto& home : { cleanHome, oddHome })
    {
        const pid_t app = startApplication(sessionFolder, { "HOME=" + home.string(), "XDG_DATA_HOME=" + (home / ".local" / "share").string(),
                                                            "XDG_CACHE_HOME=" + (home / ".cache").string(),
                                                            "FONTCONFIG_FILE=" + configuration.string() });
        const auto window = windowOf(app);
        ASSERT_FALSE(window.empty()) << home;
        ASSERT_TRUE(x->saveScreenshot(window, home / "screen.png")) << home;
        pictures[home == oddHome] = pixelsOf(home / "screen.png");
        EXPECT_EQ(0, quitWith(app, SIGTERM)) << home;
    }

    EXPECT_FALSE(pictures[0].empty());
    EXPECT_TRUE(pictures[0] == pictures[1]) << "the screens differ";
}

// Of the font files that fontconfig knows, a start opens those that its first
// screen draws from, and no other: not the other faces of their family, nor
// those of other families, nor any that JUCE_FONT_PATH names. The first start
// makes fontconfig's cache of the folder; the second reads it.
TEST_F(ApplicationUnderXvfb, StartOpensOnlyTheFontFilesItsFirstScreenDrawsFrom)
{
    const std::filesystem::path installed[] = { "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
                                                "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
                                                "/usr/share/fonts/truetype/liberation/LiberationSans-Italic.ttf",
                                                "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf" };
    const auto folder = makeRuntimeFolder();
    const auto fonts = folder / "fonts";
    std::filesystem::create_directories(fonts);
    for (const auto& file : installed)
        std::filesystem::copy_file(file, fonts / file.filename());
    std::ofstream(folder / "fonts.conf") << "<fontconfig><dir>" << fonts.string() << "</dir><cachedir>"
                                         << (folder / "cache").string() << "</cachedir></fontconfig>";
    const std::vector<std::string> environment { "FONTCONFIG_FILE=" + (folder / "fonts.conf").string(),
                                                 "JUCE_FONT_PATH=" + fonts.string() };
    OpenedFiles opened(fonts);

    for (int start = 0; start < 2; ++start)
    {
        opened.take();
        const pid_t app = startApplication(sessionFolder, environment);
        ASSERT_TRUE(waitForWindow(app)) << "start " << start;
        EXPECT_EQ(0, quitWith(app, SIGTERM)) << "start " << start;
    }

    const auto drawnFrom = opened.take();
    EXPECT_EQ(1u, drawnFrom.count("LiberationSans-Regular.ttf"));
    for (const auto* undrawn : { "LiberationSans-Italic.ttf", "DejaVuSans.ttf" })
        EXPECT_EQ(0u, drawnFrom.count(undrawn)) << undrawn;
}


// With no font installed at all, or a fontconfig main file that cannot be read,
// the window still opens, and the copy quits cleanly.
TEST_F(ApplicationUnderXvfb, OpensItsWindowWithoutAnyFontOrWithAnUnreadableFontconfigFile)
{
    const auto folder = makeRuntimeFolder();
    std::filesystem::create_directories(folder / "fonts");
    std::ofstream(folder / "none.conf") << "<fontconfig><dir>" << (folder / "fonts").string() << "</dir><cachedir>"
                                        << (folder / "cache").string() << "</cachedir></fontconfig>";
    std::ofstream(folder / "unreadable.conf") << "<fontconfig><dir>";

    for (const auto* configuration : { "none.conf", "unreadable.conf" })
    {
        const pid_t app = startApplication(sessionFolder, { "FONTCONFIG_FILE=" + (folder / configuration).string(),
                                                            "XDG_CACHE_HOME=" + (folder / "cache").string() }, folder / "errors.txt");
        ASSERT_TRUE(waitForWindow(app)) << configuration << ": " << readFile(folder / "errors.txt");
        EXPECT_EQ(0, quitWith(app, SIGTERM)) << configuration;
    }
}
} // namespace
