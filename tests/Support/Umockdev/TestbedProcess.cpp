#include "Support/Umockdev/TestbedProcess.h"

#include "Support/ProgramStart.h"

#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kvxtest
{

namespace
{

// A bound that only keeps a broken program from hanging the test; nothing is timed.
constexpr int silenceBoundMilliseconds = 60000;

constexpr const char* preloadLibrary = "libumockdev-preload.so.0";

} // namespace

std::vector<std::string> testbedEnvironment(const HidrawTestbed& testbed)
{
    const char* preloaded = std::getenv("LD_PRELOAD");
    std::string preload = preloadLibrary;

    // Under AddressSanitizer the preload list already holds its runtime, which
    // stays in the list.
    if (preloaded != nullptr && *preloaded != '\0')
        preload = std::string(preloaded).find(preloadLibrary) != std::string::npos ? preloaded : preload + ":" + preloaded;

    return { "UMOCKDEV_DIR=" + testbed.rootDir(), "LD_PRELOAD=" + preload };
}

//==============================================================================
TestbedProcess::TestbedProcess(const HidrawTestbed& testbed, const std::vector<std::string>& arguments,
                               const std::vector<std::string>& extraEnvironment)
{
    std::vector<std::string> entries = testbedEnvironment(testbed);
    entries.insert(entries.end(), extraEnvironment.begin(), extraEnvironment.end());

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return;

    ProgramStart start;
    start.arguments = arguments;
    start.environment = environmentWith(entries);
    start.standardOutput = ends[1];
    pid = startProgram(start);
    close(ends[1]);
    outputDescriptor = ends[0];
}

TestbedProcess::~TestbedProcess()
{
    if (pid > 0 && kill(pid, SIGKILL) == 0)
        waitpid(pid, nullptr, 0);

    if (outputDescriptor >= 0)
        close(outputDescriptor);
}

std::string TestbedProcess::readOutput()
{
    std::string output;
    char buffer[4096];
    pollfd readable { outputDescriptor, POLLIN, 0 };

    while (outputDescriptor >= 0 && poll(&readable, 1, silenceBoundMilliseconds) > 0)
    {
        const ssize_t count = read(outputDescriptor, buffer, sizeof(buffer));

        if (count <= 0)
            break;

        output.append(buffer, static_cast<size_t>(count));
    }

    return output;
}

void TestbedProcess::requestQuit(int signalNumber) const
{
    if (pid > 0)
        kill(pid, signalNumber);
}

int TestbedProcess::waitForExit()
{
    const int status = pid > 0 ? kvxtest::waitForExit(pid) : -1;

    // One that still runs is left to the destructor.
    if (status >= 0)
        pid = -1;

    return status;
}

} // namespace kvxtest
