// The state machine: which screen each event leads to, with a sound and with a
// faulty update file, and which widgets each screen shows.
#include "ComponentTest.h"
#include "MessageLoop.h"

#include "Loader.h"

#include <gtest/gtest.h>

namespace uitest
{
namespace
{

namespace Code = kvxtest::ControllerCode;

const juce::String& text(int index)
{
    return TxtLoader::getInstance()->getString((juce::uint32) index);
}

// At the component's own size of 400 x 150.
const juce::Rectangle<int> rightSlot(280, 110, 100, 20);
const juce::Rectangle<int> leftSlot(170, 110, 100, 20);

class StateMachine : public ComponentTest
{
protected:
    void plugInAndDispatch()
    {
        transport.plugIn();
        ASSERT_TRUE(runMessageLoopUntil([this] { return component->getControllerVersion() == 123; }));
        runPendingMessages();
    }

    void unplugAndDispatch()
    {
        transport.unplug();
        ASSERT_TRUE(runMessageLoopUntil([this] { return component->getControllerVersion() == -1; }));
        runPendingMessages();
    }

    void expectButton(VozadButton* button, int label, juce::Rectangle<int> slot, const char* which)
    {
        EXPECT_TRUE(button->isVisible()) << which;
        EXPECT_EQ(text(label), button->getButtonText()) << which;
        EXPECT_EQ(slot, button->getBounds()) << which;
    }

    // The only button is the cancel button, in the right slot.
    void expectSingleButton(int label)
    {
        EXPECT_FALSE(component->getOkButton()->isVisible());
        expectButton(component->getCancelButton(), label, rightSlot, "cancel");
    }

    void expectNoMenuNoBar()
    {
        EXPECT_FALSE(component->getLanguageMenu()->isVisible());
        EXPECT_FALSE(component->getProgressBar()->isVisible());
    }
};

//==============================================================================
// The language screen: OK decides by the link's state at the press; controller
// events meanwhile are held, not shown.
TEST_F(StateMachine, StartsOnTheLanguageScreen)
{
    placeUpdateFile();
    createComponent();

    EXPECT_EQ(SeqLanguage, component->getSequence());
    EXPECT_TRUE(component->getLanguageMenu()->isVisible());
    EXPECT_EQ((int) TxtLoader::getInstance()->getLocale() + 1, component->getLanguageMenu()->getSelectedId());
    EXPECT_FALSE(component->getProgressBar()->isVisible());
    expectButton(component->getOkButton(), 4, rightSlot, "ok");
    expectButton(component->getCancelButton(), 6, leftSlot, "cancel");
}

TEST_F(StateMachine, ControllerPresentAtStartLeadsStraightToReady)
{
    createReadyComponent();

    EXPECT_EQ(123, component->getControllerVersion());
    expectNoMenuNoBar();
    expectButton(component->getOkButton(), 5, rightSlot, "ok");
    expectButton(component->getCancelButton(), 7, leftSlot, "cancel");
}

TEST_F(StateMachine, NoControllerLeadsToNotFound)
{
    placeUpdateFile();
    createComponent();
    pressOk();

    EXPECT_EQ(SeqNotFound, component->getSequence());
    EXPECT_EQ(-1, component->getControllerVersion());
    expectNoMenuNoBar();
    expectSingleButton(7);
}

TEST_F(StateMachine, ControllerEventsOnTheLanguageScreenAreHeld)
{
    placeUpdateFile();
    createComponent();

    plugInAndDispatch();
    EXPECT_EQ(SeqLanguage, component->getSequence());
    unplugAndDispatch();
    EXPECT_EQ(SeqLanguage, component->getSequence());
    plugInAndDispatch();
    EXPECT_EQ(SeqLanguage, component->getSequence());

    pressOk();
    EXPECT_EQ(SeqReady, component->getSequence());
}

//==============================================================================
TEST_F(StateMachine, NotFoundAndReadyFollowTheController)
{
    placeUpdateFile();
    createComponent();
    pressOk();
    ASSERT_EQ(SeqNotFound, component->getSequence());

    plugInAndDispatch();
    EXPECT_EQ(SeqReady, component->getSequence());
    unplugAndDispatch();
    EXPECT_EQ(SeqNotFound, component->getSequence());
    plugInAndDispatch();
    EXPECT_EQ(SeqReady, component->getSequence());
    expectButton(component->getOkButton(), 5, rightSlot, "ok");
}

TEST_F(StateMachine, ChoosingALanguageRewordsTheScreenWithoutChangingState)
{
    createReadyComponent();
    auto* menu = component->getLanguageMenu();
    const int other = TxtLoader::getInstance()->getLocale() == 1 ? 3 : 2;

    menu->setSelectedId(other, juce::dontSendNotification);
    component->comboBoxChanged(menu);

    EXPECT_EQ((juce::uint32) other - 1, TxtLoader::getInstance()->getLocale());
    EXPECT_EQ(SeqReady, component->getSequence());
    EXPECT_EQ(text(5), component->getOkButton()->getButtonText());
}

//==============================================================================
// The update: its screens, and its final request, which nothing replaces.
TEST_F(StateMachine, UpdatingScreenShowsOnlyTheProgressBar)
{
    controller.failAt(Code::finish, 1, kvxtest::ControllerFault::noReply());
    shortenWaits();
    startUpdate();
    ASSERT_TRUE(runMessageLoopUntil([this] { return component->getSequence() == SeqUpdating; }));

    EXPECT_TRUE(component->getProgressBar()->isVisible());
    EXPECT_FALSE(component->getLanguageMenu()->isVisible());
    EXPECT_FALSE(component->getOkButton()->isVisible());
    EXPECT_FALSE(component->getCancelButton()->isVisible());
    EXPECT_EQ(juce::Rectangle<int>(20, 70, 360, 20), component->getProgressBar()->getBounds());

    ASSERT_TRUE(runUntilFinished());
    EXPECT_EQ(SeqError, component->getSequence());
    expectNoMenuNoBar();
    expectSingleButton(4);
}

TEST_F(StateMachine, ProgressBarShowsTheUpdatesProgress)
{
    // The first finish reply reports 50 %; the second never comes, and the full
    // 10 s wait keeps the bar on screen until the component is torn down.
    controller.setFinishBusyCount(1);
    controller.failAt(Code::finish, 2, kvxtest::ControllerFault::noReply());
    startUpdate();
    auto* bar = component->getProgressBar();

    const auto finishesSent = [this] {
        int count = 0;
        for (const auto& command : commandsSent())
            count += command.rfind("F2", 0) == 0 ? 1 : 0;
        return count;
    };
    ASSERT_TRUE(runMessageLoopUntil([&] { return finishesSent() == 2; }));

    // The bar drops at once to a lower value and eases up to a higher one, so
    // from here on its fill stays within the first half of its 360 pixels.
    const auto brightnessAt = [bar](int x) {
        return bar->createComponentSnapshot(bar->getLocalBounds()).getPixelAt(x, 10).getBrightness();
    };
    EXPECT_TRUE(runMessageLoopUntil([&] { return brightnessAt(100) > 0.3f; }));
    EXPECT_LT(brightnessAt(300), 0.1f);
}

TEST_F(StateMachine, CompleteScreenHasOneButton)
{
    startUpdate();
    ASSERT_TRUE(runUntilFinished());

    EXPECT_EQ(SeqComplete, component->getSequence());
    expectNoMenuNoBar();
    expectSingleButton(4);
}

TEST_F(StateMachine, FinalRequestIsNeverReplaced)
{
    startUpdate();
    // Only the HID callbacks: the thread's requests stay undelivered.
    ASSERT_TRUE(runPlatformRunLoopUntil([this] { return ! component->isThreadRunning(); }));
    ASSERT_EQ(SeqReady, component->getSequence());

    transport.unplug();
    ASSERT_TRUE(runPlatformRunLoopUntil([this] { return component->getControllerVersion() == -1; }));
    transport.plugIn();
    ASSERT_TRUE(runPlatformRunLoopUntil([this] { return component->getControllerVersion() == 123; }));

    runPendingMessages();
    EXPECT_EQ(SeqComplete, component->getSequence());
}

TEST_F(StateMachine, FinalStatesIgnoreTheController)
{
    startUpdate();
    ASSERT_TRUE(runUntilFinished());

    unplugAndDispatch();
    EXPECT_EQ(SeqComplete, component->getSequence());
    plugInAndDispatch();
    EXPECT_EQ(SeqComplete, component->getSequence());
    expectSingleButton(4);
}

TEST_F(StateMachine, SecondStartBeforeTheUpdatingScreenIsIgnored)
{
    startUpdate();
    pressOk();
    pressOk();

    ASSERT_TRUE(runUntilFinished());
    EXPECT_EQ(SeqComplete, component->getSequence());
    const auto sent = commandsSent();
    EXPECT_EQ(1, std::count(sent.begin(), sent.end(), "F0 00"));
}

TEST_F(StateMachine, StartAfterTheUpdateEndedButBeforeItsScreenIsIgnored)
{
    startUpdate();
    ASSERT_TRUE(runPlatformRunLoopUntil([this] { return ! component->isThreadRunning(); }));
    const auto sent = commandsSent();

    pressOk();

    EXPECT_FALSE(component->isThreadRunning());
    runPendingMessages();
    EXPECT_EQ(SeqComplete, component->getSequence());
    EXPECT_EQ(sent, commandsSent());
}

//==============================================================================
// Without a sound update file only the first step happens.
class FaultyFile : public StateMachine
{
protected:
    void SetUp() override
    {
        parts.versionDigits = "000";
        placeUpdateFile();
    }
};

TEST_F(FaultyFile, OkShowsTheFaultyFileScreenForGood)
{
    createComponent();
    ASSERT_FALSE(component->isUpdateFileValid());
    pressOk();

    EXPECT_EQ(SeqNotFound, component->getSequence());
    expectNoMenuNoBar();
    expectSingleButton(4);

    transport.plugIn();
    runPendingMessages();
    EXPECT_EQ(SeqNotFound, component->getSequence());
    expectSingleButton(4);
}

TEST_F(FaultyFile, ControllerIsNotLookedForWithoutASoundFile)
{
    transport.plugIn();
    createComponent();
    pressOk();

    EXPECT_EQ(SeqNotFound, component->getSequence());
    EXPECT_EQ(-1, component->getControllerVersion());
}

TEST_F(FaultyFile, OkIsHiddenAndCannotStartAnUpdate)
{
    transport.plugIn();
    createComponent();
    pressOk();
    pressOk(); // as if the hidden button were pressed: it quits

    EXPECT_FALSE(component->isThreadRunning());
    EXPECT_TRUE(commandsSent().empty());
}

} // namespace
} // namespace uitest
