#include "HandOverProtocol.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

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
