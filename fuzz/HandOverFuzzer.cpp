// Arbitrary bytes as a later start sends them to the running instance, read by
// one hand-over connection as the listener serves it: the bytes arrive in
// pieces whose sizes the input's first byte picks, and the connection reads
// whenever its socket is readable. It hands on a command line exactly when a
// whole message has arrived with the right magic, a length within the limit
// and valid UTF-8, hands on those bytes intact and answers that start; it ends
// every other connection without handing anything on, never spins on what has
// arrived, and reads nothing outside it.
#include "HandOverConnection.h"
#include "HandOverProtocol.h"
#include "Utf8Text.h"

#include "MessageLoop.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "broken: %s\n", what.c_str());
    std::abort();
}

// The running instance, as far as a hand-over reaches it.
class RecordingApplication : public juce::JUCEApplicationBase
{
public:
    const juce::String getApplicationName() override { return "HandOverFuzzer"; }
    const juce::String getApplicationVersion() override { return "1"; }
    bool moreThanOneInstanceAllowed() override { return false; }
    void initialise(const juce::String&) override {}
    void shutdown() override {}
    void anotherInstanceStarted(const juce::String& commandLine) override { commandLines.push_back(commandLine); }
    void systemRequestedQuit() override {}
    void suspended() override {}
    void resumed() override {}
    void unhandledException(const std::exception*, const juce::String&, int) override {}

    std::vector<juce::String> commandLines;
};

RecordingApplication& application()
{
    static auto* const running = [] {
        juce::MessageManager::getInstance();
        return new RecordingApplication();
    }();
    return *running;
}

enum class Outcome { receiving, refused, handedOn, eitherOfThem };

// What the bytes sent so far make of a connection. Whether a text with a NUL
// inside (where JUCE ends it), or a message followed by more bytes, is refused
// is the connection's choice.
Outcome expectedAfter(const std::string& sent)
{
    HandOverProtocol::Header header {};
    if (sent.size() < sizeof(header))
        return Outcome::receiving;

    std::memcpy(&header, sent.data(), sizeof(header));
    if (header.magic != HandOverProtocol::magic || header.length > HandOverProtocol::maxCommandLineBytes)
        return Outcome::refused;
    if (sent.size() < sizeof(header) + header.length)
        return Outcome::receiving;

    const auto text = sent.substr(sizeof(header), header.length);
    if (! Utf8Text::isValid(text.c_str()))
        return Outcome::refused;

    const bool plain = text.find('\0') == std::string::npos && sent.size() == sizeof(header) + header.length;
    return plain ? Outcome::handedOn : Outcome::eitherOfThem;
}

std::string commandLineOf(const std::string& sent)
{
    HandOverProtocol::Header header {};
    std::memcpy(&header, sent.data(), sizeof(header));
    const auto text = sent.substr(sizeof(header), header.length);
    return text.substr(0, text.find('\0'));
}

int pendingBytes(int socket)
{
    int pending = 0;
    ioctl(socket, FIONREAD, &pending);
    return pending;
}

bool isReadable(int socket)
{
    pollfd readable { socket, POLLIN, 0 };
    return poll(&readable, 1, 0) == 1;
}

// As the listener does: a receiving connection reads whenever its socket is
// readable. Each read takes bytes or ends the receiving, or the listener would spin.
void serve(HandOverConnection& connection, HandOverConnection::TimePoint now)
{
    while (connection.isReceiving() && isReadable(connection.getSocket()))
    {
        const int before = pendingBytes(connection.getSocket());
        connection.receive(now);

        if (connection.isReceiving() && pendingBytes(connection.getSocket()) >= before)
            fail("a readable connection read nothing (" + std::to_string(before) + " bytes pending)");
    }
}

void checkStanding(HandOverConnection& connection, Outcome expected, HandOverConnection::TimePoint now)
{
    const bool receiving = connection.isReceiving();
    const bool awaiting = connection.isAwaitingAnswer();

    if (receiving && awaiting)
        fail("receiving and awaiting an answer at once");
    if (expected == Outcome::receiving && ! receiving)
        fail("stopped receiving before the message was whole");
    if (expected == Outcome::refused && (receiving || awaiting || ! connection.isDone(now)))
        fail("kept a connection whose message is malformed");
    if (expected == Outcome::handedOn && ! awaiting)
        fail("did not hand on a whole, valid message");
    if (expected == Outcome::eitherOfThem && receiving)
        fail("kept receiving after a whole message");
}

// A start handed on reaches the application once, with its command line
// intact, and hears that the window comes to the front.
void checkHandedOn(HandOverConnection& connection, const std::string& sent, int start,
                   HandOverConnection::TimePoint now)
{
    uitest::runPendingMessages();
    auto& commandLines = application().commandLines;

    if (commandLines.size() != 1 || commandLines.front().toStdString() != commandLineOf(sent))
        fail("handed on " + std::to_string(commandLines.size()) + " command lines, or another one");
    if (! connection.isDone(now))
        fail("no answer once the application had the command line");

    char answer = 0;
    if (recv(start, &answer, 1, MSG_DONTWAIT) != 1 || answer != HandOverProtocol::windowComesToFront)
        fail("the start heard no answer that the window comes forward");
}

// A connection still receiving gives up once its start falls silent for long,
// and at once when the start closes its end.
void checkGivesUp(HandOverConnection& connection, int& start, HandOverConnection::TimePoint now)
{
    if (connection.isDone(now))
        fail("a receiving connection gave up before its deadline");
    if (! connection.isDone(now + std::chrono::minutes(1)))
        fail("a silent start held its connection for a minute");

    close(start);
    start = -1;
    serve(connection, now);

    if (connection.isReceiving())
        fail("still receiving from a start that has closed its end");
}

size_t pieceLength(uint8_t split, size_t index, size_t remaining)
{
    if (split == 0xff)
        return remaining;

    return std::min(remaining, 1 + (split + index * 7) % (split + 1u));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;

    auto& commandLines = application().commandLines;
    commandLines.clear();

    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0 || fcntl(ends[0], F_SETFL, O_NONBLOCK) != 0)
        fail("no socket pair");

    const auto now = std::chrono::steady_clock::now();
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string sent;
    int start = ends[1];
    {
        HandOverConnection connection(ends[0], now);

        // The listener reads no further once the message is whole.
        for (size_t index = 0; sent.size() < bytes.size() && connection.isReceiving(); ++index)
        {
            const auto piece = bytes.substr(sent.size(), pieceLength(data[0], index, bytes.size() - sent.size()));
            if (send(start, piece.data(), piece.size(), MSG_NOSIGNAL) != (ssize_t) piece.size())
                fail("the piece was not sent");
            sent += piece;
            serve(connection, now);
            checkStanding(connection, expectedAfter(sent), now);
        }

        if (connection.isAwaitingAnswer())
        {
            checkHandedOn(connection, sent, start, now);
        }
        else
        {
            if (connection.isReceiving())
                checkGivesUp(connection, start, now);

            uitest::runPendingMessages();
            if (! commandLines.empty())
                fail("handed on a message that it refused");
        }
    }

    if (start >= 0)
        close(start);
    return 0;
}
