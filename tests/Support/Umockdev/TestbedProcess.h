// A program started against a testbed's emulated devices instead of the
// system's: it runs with umockdev's preload library and the testbed's
// directory, so that libudev and every hidraw node it opens are the testbed's,
// and the reports it writes reach the emulated devices of the process that
// owns the testbed (their handlers run on that process's umockdev worker).
#pragma once

#include "Support/Umockdev/EmulatedHidraw.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace kvxtest
{

// The environment entries ("NAME=value") that put a program on the testbed.
std::vector<std::string> testbedEnvironment(const HidrawTestbed& testbed);

class TestbedProcess
{
public:
    // Starts arguments[0] (looked up in PATH when it holds no slash) with this
    // process's environment, the testbed's and extraEnvironment on top, its
    // standard output on a pipe, every signal at its default action.
    // started() tells whether that worked.
    TestbedProcess(const HidrawTestbed& testbed, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& extraEnvironment = {});
    // Kills the program if it still runs.
    ~TestbedProcess();
    TestbedProcess(const TestbedProcess&) = delete;
    TestbedProcess& operator=(const TestbedProcess&) = delete;

    bool started() const { return pid > 0; }

    // Everything the program writes to its standard output until it closes it,
    // normally at exit. Gives up after a minute of silence, so that a hung
    // program fails its test instead of hanging it.
    std::string readOutput();

    // Sends one of the platform's quit requests: SIGTERM, SIGINT or SIGHUP.
    void requestQuit(int signalNumber) const;

    // The program's exit status, as kvxtest::waitForExit gives it.
    int waitForExit();

    // The process id while it has not been waited for, else -1.
    pid_t processId() const { return pid; }

private:
    pid_t pid = -1;
    int outputDescriptor = -1;
};

} // namespace kvxtest
