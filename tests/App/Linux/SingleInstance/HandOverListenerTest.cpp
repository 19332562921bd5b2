// The running instance's listener as it closes: a start that has said its
// whole message hears that the instance quits, whether the listener had read
// the message yet or not; one that has not is closed unanswered.
#include "HandOverListener.h"
#include "HandOverProtocol.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// A bound that only keeps a broken test from hanging; nothing is timed.
constexpr timeval answerBound { 60, 0 };

int connectTo (const std::filesystem::path& socketPath)
{
    sockaddr_un address;
    const int connection = socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    setsockopt (connection, SOL_SOCKET, SO_RCVTIMEO, &answerBound, sizeof (answerBound));

    if (HandOverProtocol::makeAddress (socketPath.c_str(), address)
        && connect (connection, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) == 0)
        return connection;

    close (connection);
    return -1;
}

// The answer byte, 0 when the connection closed without one, -1 on a failure.
int answerOf (int connection)
{
    char answer = 0;
    const auto received = recv (connection, &answer, 1, 0);
    close (connection);
    return received == 1 ? answer : (int) received;
}

TEST (HandOverListener, ClosingTellsEveryWholeStartThatTheInstanceQuits)
{
    char pattern[] = "/tmp/kvx-listener-XXXXXX";
    ASSERT_NE (nullptr, mkdtemp (pattern));
    const auto socketPath = std::filesystem::path (pattern) / "socket";

    // Without a message loop, the window's answer never comes.
    juce::MessageManager::getInstance();
    auto listener = std::make_unique<HandOverListener> (socketPath.string());
    ASSERT_TRUE (listener->getProblem().empty()) << listener->getProblem();

    // More starts than the listener holds at once.
    const HandOverProtocol::Header whole { HandOverProtocol::magic, 0 };
    std::vector<int> starts;
    for (int i = 0; i < 20; ++i)
    {
        starts.push_back (connectTo (socketPath));
        ASSERT_EQ ((ssize_t) sizeof (whole), send (starts.back(), &whole, sizeof (whole), MSG_NOSIGNAL));
    }
    const int incomplete = connectTo (socketPath);
    ASSERT_EQ (2, send (incomplete, &whole, 2, MSG_NOSIGNAL));

    listener.reset();

    for (int start : starts)
        EXPECT_EQ (HandOverProtocol::quitting, answerOf (start));
    EXPECT_EQ (0, answerOf (incomplete));

    juce::MessageManager::deleteInstance();
    juce::DeletedAtShutdown::deleteAll();
    std::filesystem::remove_all (pattern);
}
}
