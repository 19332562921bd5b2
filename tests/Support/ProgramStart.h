// Starting the programs that tests run (the application, the tests' own tools,
// Xvfb) with what the test gives them and nothing of the state the test itself
// was started in: a suite started as a script's background job ignores SIGINT,
// and a program that inherited that would not quit as a user's copy does.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace kvxtest
{

// This process's environment with the entries ("NAME=value") on top: of
// several entries with one name, the first counts.
std::vector<std::string> environmentWith(const std::vector<std::string>& entries);

struct ProgramStart
{
    // arguments[0] is looked up in PATH when it holds no slash.
    std::vector<std::string> arguments;
    // The whole environment, "NAME=value" entries.
    std::vector<std::string> environment;
    // The signals it starts ignoring, as a start through nohup would; every
    // other signal has its default action, and none is blocked.
    std::vector<int> ignoredSignals;
    // A descriptor of the caller's to become its standard output, or -1 for
    // the caller's own.
    int standardOutput = -1;
    // A file (made or emptied) to take its standard error, or empty for the
    // caller's own.
    std::string errorFile;
};

// The process id, or -1 when the program could not be started.
pid_t startProgram(const ProgramStart& start);

// The exit status of a program that startProgram started, or 128 + the
// signal's number when a signal ended it (as a shell gives it); -1 when it did
// not end within a bound that only keeps a broken program from hanging the
// test, and is left to be waited for.
int waitForExit(pid_t pid);

} // namespace kvxtest
