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

    Both live in the folder that InstanceFolder chooses, which no other user
    can write. A lock that cannot be taken or tested never counts as this
    process's: then getProblem says why, and the process must not run.
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
        be delivered (that instance may still be starting or stopping), and
        getProblem then says so.
    */
    bool sendToRunningInstance (const juce::String& commandLine);

    /** Why this process may neither run nor hand over to another, naming the
        folder; empty when it holds the lock or another instance does.
    */
    const juce::String& getProblem() const noexcept;

private:
    class Connection;

    void takeLock (const juce::File& lockFile);
    void listen();

    juce::File folder;
    juce::String pipePath;
    juce::String problem;
    int lockDescriptor = -1;
    bool anotherRunning = false;
    std::unique_ptr<Connection> listener;

    JUCE_DECLARE_NON_COPYABLE (SingleInstance)
};
