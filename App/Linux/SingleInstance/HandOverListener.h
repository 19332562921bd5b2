#pragma once

#include "HandOverConnection.h"

#include <memory>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

//==============================================================================
/**
    Linux only: the running instance's end of the hand-over, a local stream
    socket that only this user may use, served by a thread of its own so that it
    listens before the message loop runs and while that loop waits.

    Each start connects once, and the connections are served side by side,
    each within its own deadline (HandOverConnection), so that connections
    left silent hold up no start. Their number is capped: a start that arrives
    beyond it takes the place of the oldest whose message is incomplete, and
    while every one held has sent its whole message, later starts wait to be
    accepted. The message manager must outlive this object.
*/
class HandOverListener
{
public:
    /** Listens at socketPath, replacing what a killed instance left there;
        getProblem says why when it cannot. The path is bytes: a folder's name
        need not be UTF-8.
    */
    explicit HandOverListener (const std::string& socketPath);

    /** Stops at once, even in the middle of hand-overs: every start that has
        sent its whole message, held or waiting to be accepted, hears that this
        instance is quitting.
    */
    ~HandOverListener();

    /** Why this instance cannot listen, naming the socket; empty when it listens. */
    const std::string& getProblem() const noexcept;

private:
    void listen();
    void run();
    std::vector<pollfd> listDescriptors() const;
    bool isAccepting (HandOverConnection::TimePoint now) const;
    int getPollTimeoutMs() const;
    void serveConnections (const std::vector<pollfd>& descriptors);
    void acceptWaitingConnections();
    void makeRoom();
    void answerBeforeClosing();

    std::string path;
    std::string problem;
    int listeningSocket = -1;
    int wakeReadEnd = -1;
    int wakeWriteEnd = -1;
    std::vector<std::unique_ptr<HandOverConnection>> connections;   // the oldest first
    HandOverConnection::TimePoint acceptingPausedUntil;
    std::thread thread;

    JUCE_DECLARE_NON_COPYABLE (HandOverListener)
};
