#include "HandOverRequest.h"

#include "HandOverProtocol.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
using std::chrono::milliseconds;

// Rounded up: a time-out of zero would mean none for SO_SNDTIMEO.
milliseconds timeUntil (HandOverRequest::TimePoint deadline)
{
    return std::max (std::chrono::ceil<milliseconds> (deadline - std::chrono::steady_clock::now()), milliseconds (0));
}

// A connection whose connect and sends give up at the deadline.
int connectBy (const std::string& socketPath, HandOverRequest::TimePoint deadline)
{
    sockaddr_un address;

    if (! HandOverProtocol::makeAddress (socketPath.c_str(), address))
        return -1;

    const int connection = socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto left = std::max (timeUntil (deadline), milliseconds (1));
    const timeval timeout { (time_t) (left.count() / 1000), (suseconds_t) (left.count() % 1000 * 1000) };

    if (connection >= 0
        && setsockopt (connection, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof (timeout)) == 0
        && connect (connection, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) == 0)
        return connection;

    if (connection >= 0)
        close (connection);

    return -1;
}
}

//==============================================================================
HandOverRequest::HandOverRequest (const std::string& socketPath, const juce::String& commandLine, TimePoint deadline)
    : connection (connectBy (socketPath, deadline))
{
    const HandOverProtocol::Header header { HandOverProtocol::magic, (std::uint32_t) commandLine.getNumBytesAsUTF8() };

    if (connection >= 0
        && ! (HandOverProtocol::sendAll (connection, &header, sizeof (header))
              && HandOverProtocol::sendAll (connection, commandLine.toRawUTF8(), header.length)))
    {
        close (connection);
        connection = -1;
    }
}

HandOverRequest::~HandOverRequest()
{
    if (connection >= 0)
        close (connection);
}

bool HandOverRequest::isSent() const noexcept
{
    return connection >= 0;
}

// A signal that interrupts the wait (one the start ignores does not) only
// shortens it.
HandOverRequest::Reply HandOverRequest::waitForReply (TimePoint until)
{
    pollfd readable { connection, POLLIN, 0 };

    if (poll (&readable, 1, (int) timeUntil (until).count()) <= 0)
        return Reply::pending;

    char answer = 0;
    const auto received = recv (connection, &answer, 1, MSG_DONTWAIT);

    if (received < 0 && (errno == EINTR || errno == EAGAIN))
        return Reply::pending;

    if (received <= 0)
        return Reply::closedUnanswered;

    return answer == HandOverProtocol::windowComesToFront ? Reply::windowComesToFront
         : answer == HandOverProtocol::quitting           ? Reply::quitting
                                                          : Reply::unknown;
}
