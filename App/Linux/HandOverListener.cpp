#include "HandOverListener.h"

#include "HandOverProtocol.h"
#include "InstanceFolder.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// A start sends its few bytes at once; one that does not must not hold up the next.
constexpr auto receiveBound = std::chrono::seconds (1);

// The message thread may be busy (starting up, or waiting for the update
// thread); the start waits a little longer than this for its answer.
constexpr auto deliveryBound = std::chrono::seconds (5);
constexpr auto deliveryPollInterval = std::chrono::milliseconds (20);
}

//==============================================================================
HandOverListener::HandOverListener (const juce::String& socketPath)
    : path (socketPath)
{
    listen();

    if (problem.isEmpty())
        thread = std::thread ([this] { run(); });
}

HandOverListener::~HandOverListener()
{
    if (thread.joinable())
    {
        const char wake = 1;
        [[maybe_unused]] const auto written = write (wakeWriteEnd, &wake, 1);
        thread.join();
        unlink (path.toRawUTF8());
    }

    for (int descriptor : { listeningSocket, wakeReadEnd, wakeWriteEnd })
        if (descriptor >= 0)
            close (descriptor);
}

const juce::String& HandOverListener::getProblem() const noexcept
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

    if (! HandOverProtocol::makeAddress (path.toRawUTF8(), address))
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
    pollfd descriptors[] = { { listeningSocket, POLLIN, 0 }, { wakeReadEnd, POLLIN, 0 } };

    while (descriptors[1].revents == 0)
    {
        if (poll (descriptors, 2, -1) <= 0 || (descriptors[0].revents & POLLIN) == 0)
            continue;

        const int connection = accept4 (listeningSocket, nullptr, nullptr, SOCK_CLOEXEC);

        if (connection >= 0)
        {
            serve (connection);
            close (connection);
        }
    }
}

void HandOverListener::serve (int connection)
{
    juce::String commandLine;
    char answer = 0;

    if (isSameUser (connection)
        && receiveCommandLine (connection, commandLine)
        && deliver (commandLine, answer))
        HandOverProtocol::sendAll (connection, &answer, 1);
}

bool HandOverListener::isSameUser (int connection) const
{
    ucred peer {};
    socklen_t size = sizeof (peer);

    return getsockopt (connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
}

// Room is made only for a length within the limit, and only valid UTF-8 becomes
// a string.
bool HandOverListener::receiveCommandLine (int connection, juce::String& commandLine) const
{
    const auto deadline = std::chrono::steady_clock::now() + receiveBound;
    HandOverProtocol::Header header {};

    if (! HandOverProtocol::receiveAll (connection, &header, sizeof (header), deadline, wakeReadEnd)
        || header.magic != HandOverProtocol::magic
        || header.length > HandOverProtocol::maxCommandLineBytes)
        return false;

    juce::HeapBlock<char> text (header.length + 1, true);

    if (! HandOverProtocol::receiveAll (connection, text.get(), header.length, deadline, wakeReadEnd)
        || ! juce::CharPointer_UTF8::isValidString (text.get(), (int) header.length))
        return false;

    commandLine = juce::String::fromUTF8 (text.get(), (int) header.length);
    return true;
}

// False when it cannot tell within the bound: the message thread is still busy.
bool HandOverListener::deliver (const juce::String& commandLine, char& answer) const
{
    auto delivered = std::make_shared<std::atomic<bool>> (false);

    const bool posted = ! isQuitting() && juce::MessageManager::callAsync ([commandLine, delivered]
    {
        if (auto* app = juce::JUCEApplicationBase::getInstance())
            app->anotherInstanceStarted (commandLine);

        *delivered = true;
    });

    const auto end = std::chrono::steady_clock::now() + deliveryBound;

    while (posted && ! *delivered && ! isQuitting() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for (deliveryPollInterval);

    answer = *delivered ? HandOverProtocol::windowComesToFront : HandOverProtocol::quitting;
    return *delivered || isQuitting();
}

// The message loop has been told to stop, or this listener has.
bool HandOverListener::isQuitting() const
{
    auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();
    pollfd wake { wakeReadEnd, POLLIN, 0 };

    return messageManager == nullptr || messageManager->hasStopMessageBeenSent() || poll (&wake, 1, 0) > 0;
}
