#include "HandOverConnection.h"

#include "HandOverProtocol.h"
#include "QuitSignals.h"
#include "Utf8Text.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// A start sends its few bytes at once; one that does not is dropped.
constexpr auto receiveBound = std::chrono::seconds (1);

// The message thread may be busy (starting up, or waiting for the update
// thread); the start waits a little longer than this for its answer.
constexpr auto deliveryBound = std::chrono::seconds (5);

// What a connection that gave up waiting keeps in place of an answer.
constexpr char noAnswer = 1;

bool isSameUser (int socket)
{
    ucred peer {};
    socklen_t size = sizeof (peer);

    return getsockopt (socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
}
}

// Whichever side claims it first decides: the message thread, which then
// answers, or the connection, which gives up waiting. So a window never comes
// to the front for a start that was told otherwise or has gone.
struct HandOverConnection::Delivery
{
    std::atomic<bool> claimed { false };
    std::atomic<char> answer { 0 };
};

//==============================================================================
HandOverConnection::HandOverConnection (int acceptedSocket, TimePoint now)
    : socket (acceptedSocket), deadline (now + receiveBound), message (sizeof (HandOverProtocol::Header))
{
    if (! isSameUser (socket))
        stage = Stage::done;
}

HandOverConnection::~HandOverConnection()
{
    if (delivery != nullptr)
        delivery->claimed = true;

    close (socket);
}

int HandOverConnection::getSocket() const noexcept
{
    return socket;
}

bool HandOverConnection::isReceiving() const noexcept
{
    return stage == Stage::receivingHeader || stage == Stage::receivingText;
}

bool HandOverConnection::isAwaitingAnswer() const noexcept
{
    return stage == Stage::awaitingAnswer;
}

HandOverConnection::TimePoint HandOverConnection::getDeadline() const noexcept
{
    return deadline;
}

// Everything that has arrived is read at once, so that a start whose whole
// message is in counts as whole, at accept too.
void HandOverConnection::receive (TimePoint now)
{
    while (isReceiving() && receiveSome())
    {
        if (receivedBytes < message.size())
            continue;

        if (stage == Stage::receivingHeader)
            takeHeader();

        if (stage == Stage::receivingText && receivedBytes == message.size())
            takeText (now);
    }

    if (stage == Stage::awaitingAnswer && hasPeerGone())
        giveUp();
}

bool HandOverConnection::isDone (TimePoint now)
{
    if (stage == Stage::awaitingAnswer)
        answerWhenKnown (now);

    return stage == Stage::done || (isReceiving() && now >= deadline);
}

void HandOverConnection::answerQuitting (TimePoint now)
{
    if (isReceiving())
        receive (now);

    if (stage != Stage::awaitingAnswer)
        return;

    delivery->claimed = true;
    const char answer = HandOverProtocol::quitting;
    HandOverProtocol::sendAll (socket, &answer, 1);
    stage = Stage::done;
}

bool HandOverConnection::isQuitOnItsWay()
{
    auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();

    return messageManager == nullptr || messageManager->hasStopMessageBeenSent() || QuitSignals::hasOneArrived();
}

//==============================================================================
// False once nothing more has arrived, or the connection is done with.
bool HandOverConnection::receiveSome()
{
    const auto received = recv (socket, message.data() + receivedBytes, message.size() - receivedBytes, MSG_DONTWAIT);

    if (received < 0 && (errno == EINTR || errno == EAGAIN))
        return false;

    if (received <= 0)
    {
        stage = Stage::done;
        return false;
    }

    receivedBytes += (size_t) received;
    return true;
}

// A start that has gone (it gave up waiting, or was ended) has closed its end,
// though its message may still be there to read.
bool HandOverConnection::hasPeerGone() const
{
    char next;
    const auto peeked = recv (socket, &next, 1, MSG_PEEK | MSG_DONTWAIT);

    return peeked == 0 || (peeked < 0 && errno != EINTR && errno != EAGAIN);
}

// The message thread, unless it has taken the start already, leaves the window
// where it is.
void HandOverConnection::giveUp()
{
    delivery->claimed = true;
    stage = Stage::done;
}

// Room is made only for a length within the limit.
void HandOverConnection::takeHeader()
{
    HandOverProtocol::Header header;
    std::memcpy (&header, message.data(), sizeof (header));

    if (header.magic != HandOverProtocol::magic || header.length > HandOverProtocol::maxCommandLineBytes)
    {
        stage = Stage::done;
        return;
    }

    message.resize (sizeof (header) + header.length);
    stage = Stage::receivingText;
}

// Only valid UTF-8 becomes a string: JUCE's own check passes overlong forms
// and surrogates, on which its decoding writes past its buffer. A start's
// command line holds no NUL, and one that does is malformed. A start that has
// already gone is not served.
void HandOverConnection::takeText (TimePoint now)
{
    const std::string text (message.begin() + sizeof (HandOverProtocol::Header), message.end());

    if (text.find ('\0') != std::string::npos || ! Utf8Text::isValid (text.c_str()) || hasPeerGone())
        stage = Stage::done;
    else
        deliver (juce::String::fromUTF8 (text.data(), (int) text.size()), now);
}

// A quit that has begun wins over the start, even when the message thread
// runs the start first: the start then waits for this instance to end.
void HandOverConnection::deliver (const juce::String& commandLine, TimePoint now)
{
    stage = Stage::awaitingAnswer;
    deadline = now + deliveryBound;
    delivery = std::make_shared<Delivery>();

    juce::MessageManager::callAsync ([commandLine, delivery = delivery]
    {
        if (delivery->claimed.exchange (true))
            return;

        if (isQuitOnItsWay())
        {
            delivery->answer = HandOverProtocol::quitting;
            return;
        }

        if (auto* app = juce::JUCEApplicationBase::getInstance())
            app->anotherInstanceStarted (commandLine);

        delivery->answer = HandOverProtocol::windowComesToFront;
    });
}

// Past the deadline, a busy message thread leaves the start without an answer.
void HandOverConnection::answerWhenKnown (TimePoint now)
{
    const bool quitting = isQuitOnItsWay();

    if ((quitting || now >= deadline) && ! delivery->claimed.exchange (true))
        delivery->answer = quitting ? (char) HandOverProtocol::quitting : noAnswer;

    const char answer = delivery->answer;

    if (answer == 0)
        return;

    if (answer != noAnswer)
        HandOverProtocol::sendAll (socket, &answer, 1);

    stage = Stage::done;
}
