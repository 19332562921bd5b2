// The controller handle against virtual devices: what the application reads
// back from it at each event, and what it lets through to the controller. The
// scenarios that also run over emulated hidraw nodes are in ControllerLinkTest.
#include "HidCtrl.h"

#include "Support/EmulatedController.h"
#include "Support/RecordingHidHandler.h"
#include "Support/UpdateReports.h"
#include "Support/VirtualControllerTransport.h"
#include "Support/VirtualDeviceTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace kvxtest
{
namespace
{

const std::vector<uint8_t> allZero(256, 0);

std::vector<uint8_t> copyOfData(HidCtrl& ctrl)
{
    return std::vector<uint8_t>(ctrl.getData(), ctrl.getData() + 256);
}

class HidCtrlTest : public VirtualDeviceTest
{
protected:
    ~HidCtrlTest() override { ctrl.finalize(); }

    void start()
    {
        ASSERT_TRUE(ctrl.initialize(&handler, 1));
        dispatchRunLoop();
    }

    void receive(const std::vector<uint8_t>& report)
    {
        link.sendInputReport(report);
        dispatchRunLoop();
    }

    size_t reportsReceived() { return link.device().sentReports().size(); }

    EmulatedController controller;
    VirtualControllerTransport link { controller };
    HidCtrl ctrl;
    RecordingHidHandler handler { &ctrl };
};

//==============================================================================
// A shorter report replaces only its own bytes of the copy.
TEST_F(HidCtrlTest, KeepsTheTailOfALongerEarlierReport)
{
    link.plugIn();
    start();
    const std::vector<uint8_t> first = bytesCounting(64, 1);
    const std::vector<uint8_t> second = bytesCounting(10, 101);

    receive(first);
    receive(second);

    std::vector<uint8_t> expected = allZero;
    std::copy(first.begin(), first.end(), expected.begin());
    std::copy(second.begin(), second.end(), expected.begin());
    ASSERT_EQ(handler.inputs.size(), 2u);
    EXPECT_EQ(handler.inputs[1].length, 10u);
    EXPECT_EQ(handler.inputs[1].data, expected);
}

TEST_F(HidCtrlTest, AnEmptyReportLeavesTheCopyAlone)
{
    link.plugIn();
    start();
    receive(bytesCounting(64, 1));
    const std::vector<uint8_t> before = copyOfData(ctrl);

    receive({});

    EXPECT_EQ(ctrl.getLength(), 0u);
    EXPECT_EQ(copyOfData(ctrl), before);
}

TEST_F(HidCtrlTest, CutsAnOversizedReportAt64Bytes)
{
    link.plugIn();
    start();

    receive(bytesCounting(65, 1));

    EXPECT_EQ(ctrl.getLength(), 64u);
    EXPECT_EQ(ctrl.getData()[63], 64);
    EXPECT_EQ(ctrl.getData()[64], 0) << "byte 65 must not reach the copy";
}

//==============================================================================
// Nothing may reach a controller that is not held.
TEST_F(HidCtrlTest, SendsNothingWithoutAController)
{
    start();
    uint8_t report[64] = { ControllerCode::finish };

    EXPECT_FALSE(ctrl.setData(report, sizeof(report)));
    EXPECT_EQ(ctrl.getState(), HidNone);
}

TEST_F(HidCtrlTest, MarksTheControllerSentEvenWhenTheSendFails)
{
    link.plugIn();
    start();
    link.device().setOutputHandler([](const platform::virtualhid::Report&) { return kIOReturnError; });
    uint8_t report[64] = { ControllerCode::finish };

    EXPECT_FALSE(ctrl.setData(report, sizeof(report)));
    EXPECT_EQ(ctrl.getState(), HidSent);
    EXPECT_FALSE(ctrl.setData(nullptr, 64));
    EXPECT_EQ(ctrl.getState(), HidSent);
}

TEST_F(HidCtrlTest, GoesQuietAfterFinalize)
{
    link.plugIn();
    start();
    uint8_t report[64] = { ControllerCode::finish };
    ASSERT_TRUE(ctrl.setData(report, sizeof(report)));

    ctrl.finalize();
    ctrl.finalize();
    receive(bytesCounting(64, 1));

    EXPECT_EQ(ctrl.getState(), HidSent) << "the last state stays readable";
    EXPECT_FALSE(ctrl.setData(report, sizeof(report)));
    EXPECT_EQ(reportsReceived(), 1u);
    EXPECT_EQ(handler.callCount(), 0u);
}

TEST_F(HidCtrlTest, ASecondHandleIsRefusedAndTheFirstKeepsItsController)
{
    link.plugIn();
    start();

    HidCtrl second;
    EXPECT_FALSE(second.initialize(nullptr, 1));
    EXPECT_EQ(second.getState(), HidNone);

    uint8_t report[64] = { ControllerCode::finish };
    EXPECT_FALSE(second.setData(report, sizeof(report)));
    EXPECT_TRUE(ctrl.setData(report, sizeof(report)));
}

//==============================================================================
// A send on the update thread racing removals on the message thread must never
// resurrect a removed controller, lose an event or touch a device let go of.
// A removal lands between a send's test of the state and its write only about
// once in 2,000 cycles, and nothing runs there that a test could hold: enough
// cycles make a send that tests and sets in two steps fail nearly every run.
TEST_F(HidCtrlTest, SendsRacingRemovalsNeverUndoTheRemoval)
{
    constexpr int cycles = 10000;
    link.plugIn();
    start();
    // The controller's replies would only pile up here: the device takes every
    // report without answering.
    link.device().setOutputHandler([](const platform::virtualhid::Report&) { return kIOReturnSuccess; });
    std::atomic<bool> stop { false };

    std::thread updateThread([&] {
        uint8_t report[64] = { ControllerCode::finish };
        while (! stop.load())
            ctrl.setData(report, sizeof(report));
    });

    int statesAfterRemoval = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle)
    {
        link.unplug();
        if (! dispatchRunLoopUntil([&] { return handler.removals.size() == static_cast<size_t>(cycle); }))
            break;

        statesAfterRemoval += ctrl.getState() == HidNone ? 0 : 1;
        link.device().clearSentReports();
        link.plugIn();
        if (! dispatchRunLoopUntil([&] { return handler.matchings.size() == static_cast<size_t>(cycle); }))
            break;
    }

    stop = true;
    updateThread.join();
    dispatchRunLoop();

    EXPECT_EQ(statesAfterRemoval, 0) << "HidSent written over a removal";
    EXPECT_EQ(handler.removals.size(), static_cast<size_t>(cycles));
    EXPECT_EQ(handler.matchings.size(), static_cast<size_t>(cycles));
    EXPECT_NE(ctrl.getState(), HidNone);
}

} // namespace
} // namespace kvxtest
