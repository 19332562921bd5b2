#include "HandOverProtocol.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

namespace
{
// Milliseconds until the deadline, for poll; 0 once it has passed.
int remainingMs (HandOverProtocol::Deadline deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds> (deadline - std::chrono::steady_clock::now());
    return (int) std::max ((std::chrono::milliseconds::rep) 0, left.count());
}

bool waitUntilReadable (int socket, HandOverProtocol::Deadline deadline, int wakeDescriptor)
{
    pollfd descriptors[] = { { socket, POLLIN, 0 }, { wakeDescriptor, POLLIN, 0 } };

    for (;;)
    {
        const int ready = poll (descriptors, 2, remainingMs (deadline));

        if (ready > 0)
            return descriptors[1].revents == 0;

        if (ready == 0 || errno != EINTR)
            return false;
    }
}
}

//==============================================================================
bool HandOverProtocol::makeAddress (const char* path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;

    if (std::strlen (path) >= sizeof (address.sun_path))
        return false;

    std::strcpy (address.sun_path, path);
    return true;
}

bool HandOverProtocol::sendAll (int socket, const void* data, size_t size)
{
    auto* next = static_cast<const char*> (data);

    while (size > 0)
    {
        const auto sent = send (socket, next, size, MSG_NOSIGNAL);

        if (sent < 0 && errno == EINTR)
            continue;

        if (sent <= 0)
            return false;

        next += sent;
        size -= (size_t) sent;
    }

    return true;
}

bool HandOverProtocol::receiveAll (int socket, void* data, size_t size, Deadline deadline, int wakeDescriptor)
{
    auto* next = static_cast<char*> (data);

    while (size > 0)
    {
        if (! waitUntilReadable (socket, deadline, wakeDescriptor))
            return false;

        const auto received = recv (socket, next, size, MSG_DONTWAIT);

        if (received < 0 && (errno == EINTR || errno == EAGAIN))
            continue;

        if (received <= 0)
            return false;

        next += received;
        size -= (size_t) received;
    }

    return true;
}
