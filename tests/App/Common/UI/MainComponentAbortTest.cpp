// A removal, an attachment or a quit while the update thread waits: the thread
// is woken without a valid reply, leaves through its failure path, and is
// always joined before anything it uses goes.
#include "ComponentTest.h"
#include "MessageLoop.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace uitest
{
namespace
{

using kvxtest::ControllerFault;
namespace Code = kvxtest::ControllerCode;
using Commands = std::vector<std::string>;

enum class Wait { start, section, data, finish };

struct WaitCase
{
    Wait wait;
    uint8_t command;
    const char* name;
    Commands sentUntilWait;
};

const WaitCase waitCases[] {
    { Wait::start, Code::start, "Start", { "F0 00" } },
    { Wait::section, Code::section, "Section", { "F0 00", "F1 01" } },
    { Wait::data, Code::data, "Data", { "F0 00", "F1 01", "F3 01" } },
    { Wait::finish, Code::finish, "Finish", { "F0 00", "F1 01", "F3 01", "F1 02", "F3 02", "F3 02", "F1 03", "F3 03", "F2 00" } },
};

class AbortAtWait : public ComponentTest, public ::testing::WithParamInterface<WaitCase>
{
protected:
    // The held wait outlasts the test: only a wake-up ends it in time. The
    // waits after it may time out, but briefly.
    static constexpr int heldWaitMs = 60000;
    static constexpr int wellBeforeTheHeldWaitMs = heldWaitMs / 4;

    // The update, held at the parameter's wait: the controller takes that
    // report and never answers.
    void startAndReachTheWait()
    {
        MainComponentProbe::setTimeouts(heldWaitMs, heldWaitMs);
        controller.failAt(GetParam().command, 1, ControllerFault::noReply());
        startUpdate();
        ASSERT_TRUE(runMessageLoopUntil([this] { return commandsSent() == GetParam().sentUntilWait; }));
        shortenWaits();
    }

    // A woken start or finish wait ends the sequence; a woken section or data
    // wait still leads to the finish, not to a skipped section.
    Commands sentAfterAWakeUp() const
    {
        Commands commands = GetParam().sentUntilWait;
        if (GetParam().wait == Wait::section || GetParam().wait == Wait::data)
            commands.push_back("F2 00");
        return commands;
    }
};

TEST_P(AbortAtWait, RemovalEndsInError)
{
    startAndReachTheWait();
    transport.unplug();

    ASSERT_TRUE(runUntilFinished(wellBeforeTheHeldWaitMs)) << "the removal did not wake the update thread";
    EXPECT_EQ(SeqError, component->getSequence());
    // With the controller gone nothing more goes out; the later waits time out.
    EXPECT_EQ(GetParam().sentUntilWait, commandsSent());
}

TEST_P(AbortAtWait, AttachmentWakesTheThreadWithoutAReply)
{
    startAndReachTheWait();
    // The link reports an arrival only when it holds no controller; here the
    // component gets the call while its controller stays, so that the rest of
    // the sequence shows how the woken wait was taken.
    component->matchingCallBack();

    ASSERT_TRUE(runUntilFinished(wellBeforeTheHeldWaitMs)) << "the attachment did not wake the update thread";
    EXPECT_EQ(SeqError, component->getSequence());
    EXPECT_EQ(sentAfterAWakeUp(), commandsSent());
}

TEST_P(AbortAtWait, QuitReturnsWithinTheFinishWaitWithTheThreadJoined)
{
    startAndReachTheWait();
    const auto quitStarted = juce::Time::getMillisecondCounter();
    pressCancel();
    const auto quitTookMs = juce::Time::getMillisecondCounter() - quitStarted;

    // Woken at once, the thread has the finish's wait left at most: its reply
    // cannot arrive while the message thread waits for the thread.
    EXPECT_FALSE(component->isThreadRunning());
    EXPECT_LT(quitTookMs, (juce::uint32) wellBeforeTheHeldWaitMs) << "the quit did not wake the update thread";
    EXPECT_EQ(sentAfterAWakeUp(), commandsSent());
    runPendingMessages();
    EXPECT_EQ(SeqError, component->getSequence());
}

TEST_P(AbortAtWait, DestructionJoinsTheThreadFirst)
{
    startAndReachTheWait();
    const auto before = commandsSent().size();

    component.reset();

    // The thread has finished: whatever it still sent went out before the
    // component was gone, and nothing follows.
    const auto sent = commandsSent();
    EXPECT_GE(sent.size(), before);
    runPendingMessages();
    EXPECT_EQ(sent, commandsSent());
}

TEST_F(ComponentTest, ReplugDuringTheSectionWaitNeverEndsInSuccess)
{
    shortenWaits();
    controller.failAt(Code::section, 1, ControllerFault::noReply());
    startUpdate();
    ASSERT_TRUE(runMessageLoopUntil([this] { return commandsSent() == Commands { "F0 00", "F1 01" }; }));

    // Both events reach the component in one dispatch, so the controller is back
    // before the thread goes on.
    transport.unplug();
    transport.plugIn();

    ASSERT_TRUE(runUntilFinished());
    EXPECT_EQ(SeqError, component->getSequence());
    const auto sent = commandsSent();
    EXPECT_EQ(sent.end(), std::find(sent.begin(), sent.end(), "F3 01")) << "section 1 was written after all";
}

INSTANTIATE_TEST_SUITE_P(EachWait, AbortAtWait, ::testing::ValuesIn(waitCases),
                         [](const ::testing::TestParamInfo<WaitCase>& info) { return std::string(info.param.name); });

//==============================================================================
TEST_F(ComponentTest, NoControllerWhenTheThreadStartsEndsInErrorWithoutFinish)
{
    shortenWaits();
    createReadyComponent();
    transport.unplug();
    ASSERT_TRUE(runPlatformRunLoopUntil([this] { return component->getControllerVersion() == -1; }));

    // Start still shows: the removal's request waits for delivery.
    pressOk();

    ASSERT_TRUE(runUntilFinished());
    EXPECT_EQ(SeqError, component->getSequence());
    EXPECT_TRUE(commandsSent().empty());
}

} // namespace
} // namespace uitest
