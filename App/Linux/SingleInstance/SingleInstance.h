#pragma once

#include "HandOverListener.h"
#include "HandOverRequest.h"

#include <memory>
#include <string>
#include <sys/types.h>

//==============================================================================
/**
    Linux only: one instance per user, and a second start's command line
    carried to it.

    JUCE's own single-instance lock ends a second process before initialise, but
    on Linux it never tells the running instance (anotherInstanceStarted is not
    called there). So before JUCE starts, the first instance takes a per-user
    lock and listens on a socket beside it (HandOverListener); a later start
    that finds the lock held hands its command line over and learns whether the
    running instance's window comes to the front (HandOverRequest). While it
    waits for the answer, and when the instance is quitting, the start also
    watches the lock, within a bound: once the lock is free it runs itself,
    unless another start has taken the lock meanwhile and brings its window to
    the front.

    Both live in the folder that InstanceFolder chooses, which no other user
    can write. A lock that cannot be taken or tested never counts as this
    process's: then getProblem says why, and the process must not run.
*/
class SingleInstance
{
public:
    /** Takes the lock, and listens when it is this process's. The message
        manager must outlive this object.
    */
    explicit SingleInstance (const juce::String& applicationName);
    ~SingleInstance();

    /** True when another process of this user holds the lock. */
    bool isAnotherInstanceRunning() const noexcept;

    /** Hands the command line to the running instance; true when that
        instance's window comes to the front. Until it answers so, and when
        it is quitting, waits for it to release the lock, within a bound, and
        hands over to any instance that takes the lock meanwhile. False when
        this process holds the lock then, or must not run (getProblem says why).
    */
    bool handOver (const juce::String& commandLine);

    /** Why this process may neither run nor hand over to another, naming the
        folder by its bytes; empty when it holds the lock or another instance does.
    */
    const std::string& getProblem() const noexcept;

private:
    std::unique_ptr<HandOverRequest> ask (const juce::String& text, HandOverRequest::TimePoint deadline) const;
    static HandOverRequest::Reply awaitReply (std::unique_ptr<HandOverRequest>& request, HandOverRequest::Reply reply,
                                              HandOverRequest::TimePoint until);
    void takeLock();
    void listen();

    // Bytes, as InstanceFolder chose them.
    std::string folder;
    std::string lockPath;
    std::string socketPath;
    std::string problem;
    int lockDescriptor = -1;
    bool anotherRunning = false;
    pid_t holder = 0;   // the other process that holds the lock, 0 when unknown
    std::unique_ptr<HandOverListener> listener;

    JUCE_DECLARE_NON_COPYABLE (SingleInstance)
};
