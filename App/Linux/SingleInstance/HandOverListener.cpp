#include "HandOverListener.h"

#include "DescriptorTurns.h"
#include "HandOverProtocol.h"
#include "InstanceFolder.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// Enough for a crowd of starts; each holds a few kilobytes at most.
constexpr size_t maxConnections = 16;

// A connection that awaits the message thread learns within this time that its
// answer is known or that a quit has begun: a signal does not wake the listener.
constexpr std::chrono::milliseconds answerPollInterval (20);

// Out of descriptors, a waiting start leaves the listening socket readable
// though none can be accepted: the listener tries again after this pause
// rather than spin, serving the starts it holds meanwhile.
constexpr std::chrono::milliseconds acceptingPause (100);

bool isOutOfDescriptors (int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

int acceptWaitingConnection (int listeningSocket)
{
    return accept4 (listeningSocket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
}
}

//==============================================================================
HandOverListener::HandOverListener (const std::string& socketPath)
    : path (socketPath)
{
    listen();

    if (problem.empty())
        thread = std::thread ([this] { run(); });
}

HandOverListener::~HandOverListener()
{
    if (thread.joinable())
    {
        const char wake = 1;
        [[maybe_unused]] const auto written = write (wakeWriteEnd, &wake, 1);
        thread.join();
        unlink (path.c_str());
    }

    for (int descriptor : { listeningSocket, wakeReadEnd, wakeWriteEnd })
        if (descriptor >= 0)
            close (descriptor);
}

const std::string& HandOverListener::getProblem() const noexcept
{
    return problem;
}

//==============================================================================
// The socket's folder is closed to other users already; the socket's own mode
// keeps it so should the folder be opened later. Nobody can connect before
// listen, so the mode is set in between.
void HandOverListener::listen()
{
    sockaddr_un address;

    if (! HandOverProtocol::makeAddress (path.c_str(), address))
    {
        problem = "the socket path " + path + " is too long; set TMPDIR to a shorter folder of your own";
        return;
    }

    unlink (address.sun_path);

    listeningSocket = socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);

    if (listeningSocket < 0
        || bind (listeningSocket, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) != 0
        || chmod (address.sun_path, S_IRUSR | S_IWUSR) != 0
        || ::listen (listeningSocket, SOMAXCONN) != 0)
    {
        problem = InstanceFolder::describeFailure ("cannot listen for later starts at", path);
        return;
    }

    int wakeEnds[2];

    if (pipe2 (wakeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
    {
        problem = InstanceFolder::describeFailure ("cannot make a pipe to stop listening at", path);
        return;
    }

    wakeReadEnd = wakeEnds[0];
    wakeWriteEnd = wakeEnds[1];
}

void HandOverListener::run()
{
    for (;;)
    {
        auto descriptors = listDescriptors();

        if (poll (descriptors.data(), descriptors.size(), getPollTimeoutMs()) < 0)
            continue;

        // Connections are accepted and closed in turns with JUCE's children.
        const ScopedDescriptorTurn turn;

        if (descriptors[1].revents != 0)
            return answerBeforeClosing();

        serveConnections (descriptors);

        if ((descriptors[0].revents & POLLIN) != 0)
            acceptWaitingConnections();
    }
}

// The listening socket while a start can be accepted, the wake pipe, then each
// connection: for what it sends while its message is coming in, and for its
// start going while it awaits the answer.
std::vector<pollfd> HandOverListener::listDescriptors() const
{
    const auto listening = isAccepting (std::chrono::steady_clock::now()) ? listeningSocket : -1;
    std::vector<pollfd> descriptors { { listening, POLLIN, 0 }, { wakeReadEnd, POLLIN, 0 } };

    for (const auto& connection : connections)
        descriptors.push_back ({ connection->getSocket(), (short) (connection->isReceiving() ? POLLIN : POLLRDHUP), 0 });

    return descriptors;
}

bool HandOverListener::isAccepting (HandOverConnection::TimePoint now) const
{
    const auto hasIncompleteMessage = [] (const auto& connection) { return connection->isReceiving(); };

    return now >= acceptingPausedUntil
        && (connections.size() < maxConnections
            || std::any_of (connections.begin(), connections.end(), hasIncompleteMessage));
}

// Until the first deadline of a connection that receives or the end of a pause
// in accepting, and briefly while a connection awaits its answer; else until
// something happens.
int HandOverListener::getPollTimeoutMs() const
{
    using std::chrono::milliseconds;
    const auto now = std::chrono::steady_clock::now();
    auto timeout = milliseconds::max();

    if (now < acceptingPausedUntil)
        timeout = std::chrono::ceil<milliseconds> (acceptingPausedUntil - now);

    for (const auto& connection : connections)
        timeout = std::min (timeout, connection->isAwaitingAnswer()
                                       ? answerPollInterval
                                       : std::chrono::ceil<milliseconds> (connection->getDeadline() - now));

    return timeout == milliseconds::max() ? -1 : (int) std::max (timeout.count(), (milliseconds::rep) 0);
}

void HandOverListener::serveConnections (const std::vector<pollfd>& descriptors)
{
    const auto now = std::chrono::steady_clock::now();

    for (size_t i = 0; i < connections.size(); ++i)
        if (descriptors[i + 2].revents != 0)
            connections[i]->receive (now);

    connections.erase (std::remove_if (connections.begin(), connections.end(),
                                       [now] (const auto& connection) { return connection->isDone (now); }),
                       connections.end());
}

// A start sends its message as it connects, so it is read at once: a crowd of
// whole messages is never taken for silence. Room is made only for a start that
// is really there.
void HandOverListener::acceptWaitingConnections()
{
    const auto now = std::chrono::steady_clock::now();

    while (isAccepting (now))
    {
        const int socket = acceptWaitingConnection (listeningSocket);

        if (socket < 0)
        {
            if (isOutOfDescriptors (errno))
                acceptingPausedUntil = now + acceptingPause;

            if (errno == ECONNABORTED || errno == EINTR)
                continue;

            return;
        }

        auto connection = std::make_unique<HandOverConnection> (socket, now);

        // Another user's is done at once, unread.
        if (connection->isReceiving())
            connection->receive (now);

        if (connection->isDone (now))
            continue;

        makeRoom();
        connections.push_back (std::move (connection));
    }
}

// Silence is what the cap guards against: the oldest connection whose message
// is incomplete makes way. A start that has said its whole message is kept
// until answered; when all are, later starts wait to be accepted (isAccepting).
void HandOverListener::makeRoom()
{
    if (connections.size() < maxConnections)
        return;

    const auto oldestIncomplete = std::find_if (connections.begin(), connections.end(),
                                                [] (const auto& connection) { return connection->isReceiving(); });

    if (oldestIncomplete != connections.end())
        connections.erase (oldestIncomplete);
}

// A start that hears nothing from a copy that quits would give up; told that it
// quits, it waits for the lock and runs.
void HandOverListener::answerBeforeClosing()
{
    const auto now = std::chrono::steady_clock::now();

    for (auto& connection : connections)
        connection->answerQuitting (now);

    connections.clear();

    for (int socket; (socket = acceptWaitingConnection (listeningSocket)) >= 0;)
        HandOverConnection (socket, now).answerQuitting (now);
}
