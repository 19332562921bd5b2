#include "ControllerLinkTest.h"

#include "Support/UpdateReports.h"

namespace kvxtest
{

void PrintTo(const ControllerSource& source, std::ostream* stream)
{
    *stream << source.name;
}

size_t ControllerLinkTest::PluggedController::reportsReceived() const
{
    size_t count = 0;

    for (const TranscriptEntry& entry : emulated.transcript())
        count += entry.fromHost ? 1 : 0;

    return count;
}

ControllerLinkTest::ControllerLinkTest()
{
    GetParam().becomeDefault();
}

ControllerLinkTest::~ControllerLinkTest()
{
    ctrl.finalize();
    controllers.clear();
}

ControllerLinkTest::PluggedController& ControllerLinkTest::plugIn(long locationID)
{
    ControllerIdentity identity;
    identity.locationID = locationID;
    PluggedController& controller = controllers.emplace_back();
    controller.transport = GetParam().connect(controller.emulated, identity);
    controller.transport->plugIn();
    return controller;
}

void ControllerLinkTest::start()
{
    ASSERT_TRUE(ctrl.initialize(&handler, 1));
    dispatchRunLoop();
}

int ControllerLinkTest::exchange(std::vector<uint8_t> report)
{
    const size_t repliesBefore = handler.inputs.size();

    if (! ctrl.setData(report.data(), static_cast<unsigned int>(report.size()))
        || ! dispatchRunLoopUntil([&] { return handler.inputs.size() > repliesBefore; }))
        return -1;

    return handler.inputs.back().data[0];
}

bool ControllerLinkTest::sendFinish()
{
    std::vector<uint8_t> report = commandReport(ControllerCode::finish);
    return ctrl.setData(report.data(), static_cast<unsigned int>(report.size()));
}

bool ControllerLinkTest::awaitReports(const PluggedController& controller, size_t count)
{
    return dispatchRunLoopUntil([&] { return controller.reportsReceived() >= count; });
}

void ControllerLinkTest::expectHeldAgainAfterOneRemoval(const PluggedController& controller)
{
    ASSERT_TRUE(dispatchRunLoopUntil([&] { return ! handler.removals.empty() && ! handler.matchings.empty(); }))
        << handler.removals.size() << " removals, " << handler.matchings.size() << " matchings";
    dispatchRunLoop();
    EXPECT_EQ(handler.removals.size(), 1u);
    EXPECT_EQ(handler.matchings.size(), 1u);
    EXPECT_EQ(ctrl.getState(), HidAttached);
    ASSERT_TRUE(sendFinish());
    EXPECT_TRUE(awaitReports(controller, 1));
}

//==============================================================================
// The application must find the controller, with its version, however it came.
TEST_P(ControllerLinkTest, FindsAControllerAlreadyThereWithItsVersion)
{
    plugIn();
    start();

    EXPECT_EQ(ctrl.getState(), HidAttached);
    EXPECT_EQ(ctrl.getVersion(), 123);
    EXPECT_EQ(ctrl.getLength(), 0u);
    EXPECT_EQ(std::vector<uint8_t>(ctrl.getData(), ctrl.getData() + 256), std::vector<uint8_t>(256, 0));
    EXPECT_EQ(handler.callCount(), 0u) << "a controller found at start is not reported";
}

TEST_P(ControllerLinkTest, TakesALaterArrivalOnceWithItsVersionSet)
{
    start();
    ASSERT_EQ(ctrl.getState(), HidNone);

    plugIn();

    ASSERT_TRUE(dispatchRunLoopUntil([&] { return ! handler.matchings.empty(); }));
    dispatchRunLoop();
    ASSERT_EQ(handler.matchings.size(), 1u);
    EXPECT_EQ(handler.matchings[0].state, HidAttached);
    EXPECT_EQ(handler.matchings[0].version, 123);
}

//==============================================================================
// Reports must travel whole both ways, and a removal must leave nothing behind.
TEST_P(ControllerLinkTest, CarriesAnUpdateExchangeFromStartToFinish)
{
    const std::vector<SectionPlan> sections { { true, bytesCounting(70, 0) }, { false, {} }, { false, {} } };
    PluggedController& controller = plugIn();
    controller.emulated.setFinishBusyCount(1);
    start();

    std::vector<std::vector<uint8_t>> reports { startReport(sections), commandReport(ControllerCode::section, 1) };
    for (const auto& block : dataBlocks(1, sections[0].data))
        reports.push_back(block);
    reports.push_back(commandReport(ControllerCode::finish));
    reports.push_back(commandReport(ControllerCode::finish));

    std::vector<int> replies;
    for (const auto& report : reports)
        replies.push_back(exchange(report));

    EXPECT_EQ(replies, (std::vector<int> { 0xF8, 0xF9, 0xF9, 0xFE, 0xF7, 0xFC }));
    EXPECT_TRUE(controller.emulated.sectionIntact(1));
    EXPECT_EQ(controller.emulated.protocolErrors(), std::vector<std::string>());
}

TEST_P(ControllerLinkTest, ClearsTheLastReportBeforeReportingARemoval)
{
    PluggedController& controller = plugIn();
    start();
    const std::vector<uint8_t> report = bytesCounting(64, 1);

    controller.transport->sendInputReport(report);
    ASSERT_TRUE(dispatchRunLoopUntil([&] { return handler.inputs.size() == 1; }));
    EXPECT_EQ(std::vector<uint8_t>(ctrl.getData(), ctrl.getData() + 64), report);

    controller.transport->unplug();
    ASSERT_TRUE(dispatchRunLoopUntil([&] { return handler.removals.size() == 1; }));
    EXPECT_EQ(handler.removals[0].state, HidNone);
    EXPECT_EQ(handler.removals[0].version, 0);
    EXPECT_EQ(handler.removals[0].length, 0u);
    EXPECT_EQ(handler.removals[0].data, std::vector<uint8_t>(256, 0));
}

TEST_P(ControllerLinkTest, AControllerThatUnplugsMidExchangeIsReportedRemoved)
{
    const std::vector<SectionPlan> sections { { true, bytesCounting(200, 0) }, { false, {} }, { false, {} } };
    PluggedController& controller = plugIn();
    controller.emulated.failAt(ControllerCode::data, 2, ControllerFault::removal());
    start();
    const auto blocks = dataBlocks(1, sections[0].data);
    ASSERT_EQ(exchange(startReport(sections)), 0xF8);
    ASSERT_EQ(exchange(commandReport(ControllerCode::section, 1)), 0xF9);
    ASSERT_EQ(exchange(blocks[0]), 0xF9);

    std::vector<uint8_t> second = blocks[1];
    EXPECT_TRUE(ctrl.setData(second.data(), 64)) << "the report went out before the controller left";

    ASSERT_TRUE(dispatchRunLoopUntil([&] { return handler.removals.size() == 1; }));
    EXPECT_EQ(ctrl.getState(), HidNone);
    EXPECT_FALSE(sendFinish());
    EXPECT_EQ(controller.reportsReceived(), 4u);
}

//==============================================================================
// A controller plugged back in must be taken whatever else waited for the run
// loop: its removal has to reach the handle before the new arrival does.
TEST_P(ControllerLinkTest, AReplugWhileAnotherArrivalWaitsIsTakenAgain)
{
    PluggedController& controller = plugIn();
    start();

    plugIn(0x01200000);
    controller.transport->unplug();
    controller.transport->plugIn();

    expectHeldAgainAfterOneRemoval(controller);
}

// The application's start-up: the handle is made before the first dispatch.
TEST_P(ControllerLinkTest, AReplugBeforeTheFirstDispatchIsTakenAgain)
{
    PluggedController& controller = plugIn();
    ASSERT_TRUE(ctrl.initialize(&handler, 1));

    controller.transport->unplug();
    controller.transport->plugIn();

    expectHeldAgainAfterOneRemoval(controller);
}

//==============================================================================
// Of two controllers one is held; the other must never steal the link.
TEST_P(ControllerLinkTest, HoldsTheLowerLocationAndIgnoresTheOtherUntilItIsAttachedAgain)
{
    PluggedController& higher = plugIn(0x01200000);
    PluggedController& lower = plugIn(0x01100000);
    start();

    ASSERT_TRUE(sendFinish());
    ASSERT_TRUE(awaitReports(lower, 1));
    EXPECT_EQ(higher.reportsReceived(), 0u);
    EXPECT_EQ(handler.callCount(), 0u) << "a controller found at start is not reported";

    lower.transport->unplug();
    ASSERT_TRUE(dispatchRunLoopUntil([&] { return handler.removals.size() == 1; }));
    EXPECT_TRUE(handler.matchings.empty());
    EXPECT_FALSE(sendFinish());

    higher.transport->unplug();
    higher.transport->plugIn();
    ASSERT_TRUE(dispatchRunLoopUntil([&] { return handler.matchings.size() == 1; })) << "attached again, it is taken";
    ASSERT_TRUE(sendFinish());
    EXPECT_TRUE(awaitReports(higher, 1));
    EXPECT_EQ(higher.reportsReceived(), 1u);
}

} // namespace kvxtest
