#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/un.h>

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
    constexpr std::uint32_t magic = 0x4b565832; // "KVX2"

    // A command line is a few file names at most; the listener never holds more.
    constexpr std::uint32_t maxCommandLineBytes = 4096;

    struct Header
    {
        std::uint32_t magic;
        std::uint32_t length;
    };

    enum Answer : char
    {
        windowComesToFront = 'F',
        quitting = 'Q'
    };

    /** The socket's address at the path; false when the path is too long for one. */
    bool makeAddress (const char* path, sockaddr_un& address);

    /** Sends all bytes; false when the peer has gone or the socket's send
        time-out passed. A peer that has gone raises no SIGPIPE.
    */
    bool sendAll (int socket, const void* data, size_t size);
}
