#pragma once

#include <juce_events/juce_events.h>

#include <memory>

//==============================================================================
/**
    Linux only: carries a second start's command line to the running instance.

    JUCE's own single-instance lock ends a second process before initialise, but
    on Linux it never tells the running instance (anotherInstanceStarted is not
    called there). So before JUCE starts, the first instance takes a per-user
    lock and listens on a named pipe; a later start that finds the lock held
    sends its command line down the pipe and leaves. The running instance then
    calls anotherInstanceStarted on its message thread.

    Both live in the session's XDG_RUNTIME_DIR when it names one, and under the
    user's id in the system's shared folders otherwise.
*/
class SingleInstance
{
public:
    /** Takes the lock, and listens when it is this process's. */
    explicit SingleInstance (const juce::String& applicationName);
    ~SingleInstance();

    /** True when another process of this user holds the lock. */
    bool isAnotherInstanceRunning() const noexcept;

    /** Hands the command line to the running instance; false when it could not
        be delivered (that instance may still be starting or stopping).
    */
    bool sendToRunningInstance (const juce::String& commandLine);

private:
    class Connection;

    juce::String pipeName;
    juce::InterProcessLock lock;
    bool lockHeld = false;
    std::unique_ptr<Connection> listener;

    JUCE_DECLARE_NON_COPYABLE (SingleInstance)
};
