// The running instance's listener as it closes: a start that has said its
// whole message hears that the instance quits, whether the listener had read
// the message yet or not; one that has not is closed unanswered.
#include "HandOverListener.h"
#include "HandOverProtocol.h"
#include "Support/SingleInstance/HandOverClient.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include <sys/socket.h>

namespace
{
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
        starts.push_back (kvxtest::connectWholeStart (socketPath));
    const int incomplete = kvxtest::connectToCopy (socketPath);
    ASSERT_EQ (2, send (incomplete, &whole, 2, MSG_NOSIGNAL));

    listener.reset();

    for (int start : starts)
        EXPECT_EQ (HandOverProtocol::quitting, kvxtest::answerTo (start));
    EXPECT_EQ (0, kvxtest::answerTo (incomplete));

    juce::MessageManager::deleteInstance();
    juce::DeletedAtShutdown::deleteAll();
    std::filesystem::remove_all (pattern);
}
}
