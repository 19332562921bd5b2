#include "QuitSignals.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace
{
// Written by the signal handler, so plain descriptors that never change while
// the handlers are installed.
int pipeReadEnd = -1;
int pipeWriteEnd = -1;
std::atomic<bool> arrived { false };
std::atomic<bool> passedToLoop { false };
static_assert (std::atomic<bool>::is_always_lock_free, "used in a signal handler");

// A closed terminal hangs up on the program it started.
constexpr int quitSignals[] = { SIGINT, SIGTERM, SIGHUP };

void setHandler (int signalNumber, void (*handler) (int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset (&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction (signalNumber, &action, nullptr);
}

// A signal that the starter ignores stays ignored: nohup keeps the program
// running when its terminal closes, and a script's background job keeps
// running on the terminal's interrupt.
sigset_t ignoredAtStart;

bool isIgnored (int signalNumber)
{
    return sigismember (&ignoredAtStart, signalNumber) == 1;
}

sigset_t listQuitSignals()
{
    sigset_t signals;
    sigemptyset (&signals);

    for (auto signalNumber : quitSignals)
        sigaddset (&signals, signalNumber);

    return signals;
}
}

void QuitSignals::noteThoseIgnoredAtStart()
{
    sigemptyset (&ignoredAtStart);

    for (auto signalNumber : quitSignals)
    {
        struct sigaction current {};

        if (sigaction (signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            sigaddset (&ignoredAtStart, signalNumber);
    }
}

void QuitSignals::holdBackUntilRestored()
{
    const auto signals = listQuitSignals();
    pthread_sigmask (SIG_BLOCK, &signals, nullptr);
}

// One that arrived while held back now takes the action the starter gave it.
void QuitSignals::restoreThoseAtStart()
{
    for (auto signalNumber : quitSignals)
        setHandler (signalNumber, isIgnored (signalNumber) ? SIG_IGN : SIG_DFL);

    const auto signals = listQuitSignals();
    pthread_sigmask (SIG_UNBLOCK, &signals, nullptr);
}

bool QuitSignals::hasOneArrived() noexcept
{
    return arrived;
}

QuitSignals::QuitSignals()
{
    jassert (pipeReadEnd < 0); // one per process

    int ends[2];

    if (pipe2 (ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;

    pipeReadEnd = ends[0];
    pipeWriteEnd = ends[1];
    juce::LinuxEventLoop::registerFdCallback (pipeReadEnd, &QuitSignals::requestQuit);

    // JUCE's own SIGINT handler goes too.
    for (auto signalNumber : quitSignals)
        setHandler (signalNumber, isIgnored (signalNumber) ? SIG_IGN : &QuitSignals::handleSignal);
}

QuitSignals::~QuitSignals()
{
    if (pipeReadEnd < 0)
        return;

    restoreThoseAtStart();
    juce::LinuxEventLoop::unregisterFdCallback (pipeReadEnd);
    close (pipeReadEnd);
    close (pipeWriteEnd);
    pipeReadEnd = pipeWriteEnd = -1;
}

void QuitSignals::passToMessageLoop()
{
    passedToLoop = true;
}

void QuitSignals::handleSignal (int signalNumber)
{
    // Only async-signal-safe calls here.
    // Until then, nothing may ever read the pipe: a start held up before its
    // window (by a display that never answers, say) ends at once, as without
    // a handler, and its lock goes with it.
    if (! passedToLoop)
    {
        setHandler (signalNumber, SIG_DFL);
        raise (signalNumber);
        return;
    }

    // A full pipe already holds a request.
    arrived = true;
    const auto savedErrno = errno;
    const char request = 1;
    [[maybe_unused]] const auto written = write (pipeWriteEnd, &request, 1);
    errno = savedErrno;
}

void QuitSignals::requestQuit (int descriptor)
{
    char requests[64];

    while (read (descriptor, requests, sizeof (requests)) > 0)
    {
    }

    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
}
