// The running instance's listener as it closes: a start that has said its
// whole message hears that the instance quits, whether the listener had read
// the message or the start still waited to be accepted; one that has not, or
// whose command line is not UTF-8, is closed unanswered.
#include "HandOverListener.h"
#include "HandOverProtocol.h"
#include "Support/SingleInstance/HandOverClient.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/socket.h>

namespace
{

// A folder of the test's own in TMPDIR, removed however the test ends.
struct TemporaryFolder
{
    TemporaryFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvx-listener-XXXXXX").string();
        path = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }

    ~TemporaryFolder()
    {
        if (! path.empty())
            std::filesystem::remove_all(path);
    }

    std::filesystem::path path;
};

// Without a message loop, the window's answer never comes.
struct MessageManagerWithoutLoop
{
    MessageManagerWithoutLoop() { juce::MessageManager::getInstance(); }

    ~MessageManagerWithoutLoop()
    {
        juce::MessageManager::deleteInstance();
        juce::DeletedAtShutdown::deleteAll();
    }
};

TEST (HandOverListener, ClosingTellsEveryWholeStartThatTheInstanceQuits)
{
    const TemporaryFolder folder;
    ASSERT_FALSE(folder.path.empty());
    const auto socketPath = folder.path / "socket";
    const MessageManagerWithoutLoop messageManager;
    auto listener = std::make_unique<HandOverListener> (socketPath.string());
    ASSERT_TRUE(listener->getProblem().empty()) << listener->getProblem();

    // As many starts as the listener holds, each read, then more, which wait
    // to be accepted.
    std::vector<int> starts;
    for (int i = 0; i < 20; ++i)
    {
        starts.push_back(kvxtest::connectWholeStart(socketPath, "update-" + std::to_string(i) + ".upd"));
        ASSERT_TRUE(i >= 16 || kvxtest::waitUntilRead(starts.back())) << "start " << i;
    }
    const HandOverProtocol::Header whole { HandOverProtocol::magic, 0 };
    const int incomplete = kvxtest::connectToCopy(socketPath);
    ASSERT_EQ(2, send(incomplete, &whole, 2, MSG_NOSIGNAL));
    // An overlong form and a surrogate, which JUCE's own check passes.
    const int malformed = kvxtest::connectWholeStart(socketPath, "a\xc0\x80" "b\xed\xa0\x80");

    listener.reset();

    for (size_t i = 0; i < starts.size(); ++i)
        EXPECT_EQ(HandOverProtocol::quitting, kvxtest::answerTo(starts[i])) << "start " << i;
    EXPECT_EQ(0, kvxtest::answerTo(incomplete));
    EXPECT_EQ(0, kvxtest::answerTo(malformed));
}

} // namespace
