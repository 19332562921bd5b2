#pragma once

#include <juce_events/juce_events.h>

#include <chrono>
#include <memory>
#include <vector>

//==============================================================================
/**
    Linux only: one later start's connection, as the running instance's
    HandOverListener serves it beside the others. Its message is read without
    blocking and within a deadline of its own; once whole, its command line
    goes to anotherInstanceStarted on the message thread, and the start gets
    the answer: the window comes to the front, or this instance is quitting.
    A connection of another user, a malformed message, one that comes too
    late or one whose start has gone is closed without an answer. Destroying the connection closes it.
*/
class HandOverConnection
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    /** Takes over the accepted socket, which must not block. */
    HandOverConnection (int acceptedSocket, TimePoint now);
    ~HandOverConnection();

    int getSocket() const noexcept;

    /** True while the start's message is still coming in. */
    bool isReceiving() const noexcept;

    /** True while the answer depends on the message thread. */
    bool isAwaitingAnswer() const noexcept;

    /** When a receiving connection gives up. */
    TimePoint getDeadline() const noexcept;

    /** Reads all that has arrived; once the message is whole, hands it on.
        A connection that awaits its answer is done once its start has gone.
    */
    void receive (TimePoint now);

    /** Sends the answer once it is known, and tells whether the connection is
        done with: answered, refused, or past its deadline.
    */
    bool isDone (TimePoint now);

    /** For a listener that closes: reads what has arrived, and answers a whole
        message that this instance is quitting, whatever the message thread
        decided: its window is about to go.
    */
    void answerQuitting (TimePoint now);

    /** True once this instance's quit has begun: a quit signal has arrived or
        the message loop has been told to stop, though it may not have yet.
    */
    static bool isQuitOnItsWay();

private:
    enum class Stage { receivingHeader, receivingText, awaitingAnswer, done };
    struct Delivery;

    bool receiveSome();
    bool hasPeerGone() const;
    void giveUp();
    void takeHeader();
    void takeText (TimePoint now);
    void deliver (const juce::String& commandLine, TimePoint now);
    void answerWhenKnown (TimePoint now);

    const int socket;
    Stage stage = Stage::receivingHeader;
    TimePoint deadline;
    std::vector<char> message;
    size_t receivedBytes = 0;
    std::shared_ptr<Delivery> delivery;

    JUCE_DECLARE_NON_COPYABLE (HandOverConnection)
};
