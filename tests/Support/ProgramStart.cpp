#include "Support/ProgramStart.h"

#include <chrono>
#include <csignal>
#include <set>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kvxtest
{

namespace
{

constexpr auto exitBound = std::chrono::seconds(60);

std::string nameOf(const std::string& entry)
{
    return entry.substr(0, entry.find('='));
}

std::vector<char*> pointersTo(const std::vector<std::string>& strings)
{
    std::vector<char*> pointers;

    for (const std::string& text : strings)
        pointers.push_back(const_cast<char*>(text.c_str()));

    pointers.push_back(nullptr);
    return pointers;
}

// posix_spawn can reset a signal to its default action but cannot make one
// ignored: a child keeps what its parent ignores, so this process ignores the
// signals for as long as it spawns.
class IgnoredWhileSpawning
{
public:
    explicit IgnoredWhileSpawning(const std::vector<int>& signalNumbers)
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;

        for (int signalNumber : signalNumbers)
        {
            struct sigaction before {};
            if (sigaction(signalNumber, &ignore, &before) == 0)
                previous.emplace_back(signalNumber, before);
        }
    }

    ~IgnoredWhileSpawning()
    {
        for (const auto& [signalNumber, before] : previous)
            sigaction(signalNumber, &before, nullptr);
    }

    IgnoredWhileSpawning(const IgnoredWhileSpawning&) = delete;
    IgnoredWhileSpawning& operator=(const IgnoredWhileSpawning&) = delete;

private:
    std::vector<std::pair<int, struct sigaction>> previous;
};

void setSignals(posix_spawnattr_t& attributes, const std::vector<int>& ignoredSignals)
{
    sigset_t toDefault;
    sigfillset(&toDefault);

    for (int signalNumber : ignoredSignals)
        sigdelset(&toDefault, signalNumber);

    sigset_t noneBlocked;
    sigemptyset(&noneBlocked);
    posix_spawnattr_setsigdefault(&attributes, &toDefault);
    posix_spawnattr_setsigmask(&attributes, &noneBlocked);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
}

void setStreams(posix_spawn_file_actions_t& actions, const ProgramStart& start)
{
    if (start.standardOutput >= 0)
        posix_spawn_file_actions_adddup2(&actions, start.standardOutput, STDOUT_FILENO);

    if (! start.errorFile.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, start.errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
}

} // namespace

std::vector<std::string> environmentWith(const std::vector<std::string>& entries)
{
    std::vector<std::string> candidates(entries);

    for (char** entry = environ; *entry != nullptr; ++entry)
        candidates.emplace_back(*entry);

    std::vector<std::string> environment;
    std::set<std::string> names;

    for (const std::string& candidate : candidates)
        if (names.insert(nameOf(candidate)).second)
            environment.push_back(candidate);

    return environment;
}

pid_t startProgram(const ProgramStart& start)
{
    if (start.arguments.empty())
        return -1;

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    setSignals(attributes, start.ignoredSignals);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    setStreams(actions, start);

    pid_t pid = -1;
    int failure = 0;
    {
        const IgnoredWhileSpawning ignored(start.ignoredSignals);
        failure = posix_spawnp(&pid, start.arguments[0].c_str(), &actions, &attributes,
                               pointersTo(start.arguments).data(), pointersTo(start.environment).data());
    }

    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return failure == 0 ? pid : -1;
}

int waitForExit(pid_t pid)
{
    const auto end = std::chrono::steady_clock::now() + exitBound;

    for (;;)
    {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);

        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

        if (done < 0 || std::chrono::steady_clock::now() > end)
            return -1;

        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace kvxtest
