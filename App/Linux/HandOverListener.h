#pragma once

#include <juce_events/juce_events.h>

#include <thread>

//==============================================================================
/**
    Linux only: the running instance's end of the hand-over, a local stream
    socket that only this user may use, served by a thread of its own so that it
    listens before the message loop runs and while that loop waits.

    It takes one connection at a time, one per start. A start of this user's
    whose message is well-formed and arrives within a second gets its command
    line passed to anotherInstanceStarted on the message thread, and an answer
    once that call has run: the window comes to the front, or this instance is
    quitting. Any other connection is closed without an answer, and the
    listener goes on. The message manager must outlive this object.
*/
class HandOverListener
{
public:
    /** Listens at socketPath, replacing what a killed instance left there;
        getProblem says why when it cannot.
    */
    explicit HandOverListener (const juce::String& socketPath);

    /** Stops at once, even in the middle of a hand-over, whose start then
        learns that this instance is quitting or gets no answer.
    */
    ~HandOverListener();

    /** Why this instance cannot listen, naming the socket; empty when it listens. */
    const juce::String& getProblem() const noexcept;

private:
    void listen();
    void run();
    void serve (int connection);
    bool isSameUser (int connection) const;
    bool receiveCommandLine (int connection, juce::String& commandLine) const;
    bool deliver (const juce::String& commandLine, char& answer) const;
    bool isQuitting() const;

    juce::String path;
    juce::String problem;
    int listeningSocket = -1;
    int wakeReadEnd = -1;
    int wakeWriteEnd = -1;
    std::thread thread;

    JUCE_DECLARE_NON_COPYABLE (HandOverListener)
};
