#pragma once

#include <juce_core/juce_core.h>

#include <chrono>
#include <string>

//==============================================================================
/**
    Linux only: a later start's request to the running instance, its command
    line sent over one connection that stays open until the instance answers or
    closes it: an answer that comes late, from an instance that was stopped or
    busy, is still heard. Destroying the request closes the connection, which
    tells the instance that the start has gone.
*/
class HandOverRequest
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    enum class Reply
    {
        pending,            // nothing yet
        closedUnanswered,   // the instance dropped the start, gave up waiting for its window, or ended
        unknown,            // an answer this start does not know
        windowComesToFront,
        quitting
    };

    /** Connects and sends the command line, giving up at the deadline;
        isSent tells whether it went.
    */
    HandOverRequest (const std::string& socketPath, const juce::String& commandLine, TimePoint deadline);
    ~HandOverRequest();

    bool isSent() const noexcept;

    /** Waits for the answer until the time given; pending when none came. */
    Reply waitForReply (TimePoint until);

private:
    int connection = -1;

    JUCE_DECLARE_NON_COPYABLE (HandOverRequest)
};
