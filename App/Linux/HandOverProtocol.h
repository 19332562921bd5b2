#pragma once

#include <juce_core/juce_core.h>

#include <chrono>

//==============================================================================
/**
    Linux only: what a second start and the running instance say to each other
    over the instance's socket, one connection per start.

    The start sends a Header and then its command line, at most
    maxCommandLineBytes of UTF-8; the running instance answers with one byte,
    an Answer, or closes the connection without one when it cannot tell.
*/
namespace HandOverProtocol
{
    constexpr juce::uint32 magic = 0x4b565832; // "KVX2"

    // A command line is a few file names at most; the listener never holds more.
    constexpr juce::uint32 maxCommandLineBytes = 4096;

    struct Header
    {
        juce::uint32 magic;
        juce::uint32 length;
    };

    enum Answer : char
    {
        windowComesToFront = 'F',
        quitting = 'Q'
    };

    using Deadline = std::chrono::steady_clock::time_point;

    /** Sends all bytes; false when the peer has gone or the socket's send
        time-out passed. A peer that has gone raises no SIGPIPE.
    */
    bool sendAll (int socket, const void* data, size_t size);

    /** Reads exactly size bytes; false when the peer closes or sends too
        little by the deadline, or when wakeDescriptor (ignored when negative)
        becomes readable first.
    */
    bool receiveAll (int socket, void* data, size_t size, Deadline deadline, int wakeDescriptor);

    /** The start of a command line that fits the limit, cut between characters. */
    juce::String cutToLimit (const juce::String& commandLine);
}
