// The platform backend against virtual devices: which device it takes, what it
// reads of it, and what it does with reports and removals. The scenarios that
// also run over emulated hidraw nodes are in App/Common/Link/ControllerLinkTest.
#include "HidUtil.h"

#include "Support/EmulatedController.h"
#include "Support/RecordingHidHandler.h"
#include "Support/UpdateReports.h"
#include "Support/VirtualControllerTransport.h"
#include "Support/VirtualDeviceTest.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kvxtest
{
namespace
{

ControllerIdentity controllerAt(long locationID)
{
    ControllerIdentity identity;
    identity.locationID = locationID;
    return identity;
}

// A controller plugged into the virtual source, answering the update protocol.
struct PluggedController
{
    explicit PluggedController(const ControllerIdentity& identity = {}) : transport(controller, identity)
    {
        transport.plugIn();
    }

    size_t reportsReceived() { return transport.device().sentReports().size(); }

    EmulatedController controller;
    VirtualControllerTransport transport;
};

class HidUtilTest : public VirtualDeviceTest
{
protected:
    // Starts the backend the way the controller handle does.
    bool start(int typeIndex = 1)
    {
        EXPECT_TRUE(util->initialize(&handler, typeIndex));
        const bool found = util->deviceMatching();
        dispatchRunLoop();
        return found;
    }

    bool sendSomething()
    {
        uint8_t report[64] = { ControllerCode::finish };
        return util->deviceOutput(report, sizeof(report));
    }

    std::vector<uint8_t> lastInput(unsigned int length = 256)
    {
        std::vector<uint8_t> buffer(256, 0xEE);
        buffer.resize(util->deviceInput(buffer.data(), length));
        return buffer;
    }

    RecordingHidHandler handler;
    std::unique_ptr<HidUtil> util = std::make_unique<HidUtil>();
};

//==============================================================================
// The firmware version shown to the user is the release number read as BCD.
class HidUtilVersionTest : public HidUtilTest, public ::testing::WithParamInterface<std::pair<long, int>>
{
};

TEST_P(HidUtilVersionTest, ReadsTheReleaseNumberDigitByDigit)
{
    ControllerIdentity identity;
    identity.releaseNumber = GetParam().first;
    PluggedController plugged(identity);

    ASSERT_TRUE(start());
    EXPECT_EQ(util->deviceVersion(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(ReleaseNumbers, HidUtilVersionTest,
                         ::testing::Values(std::make_pair(0x0123L, 123), std::make_pair(0x1234L, 1234),
                                           std::make_pair(0x00A0L, 100), std::make_pair(0x0099L, 99),
                                           std::make_pair(0xFFFFL, 16665)));

TEST_F(HidUtilTest, HasNoVersionWithoutAController)
{
    EXPECT_FALSE(start());
    EXPECT_EQ(util->deviceVersion(), 0);
}

//==============================================================================
// Only the maker's device with the selected product identifier may be taken.
TEST_F(HidUtilTest, TakesOnlyTheProductOfTheTypeIndex)
{
    ControllerIdentity otherVendor = controllerAt(0x01000000);
    otherVendor.vendorID = HidVendorID + 1;
    ControllerIdentity productZero = controllerAt(0x01100000);
    productZero.productID = 0;
    PluggedController wrongVendor(otherVendor), wrongProduct(productZero), controller(controllerAt(0x01200000));

    ASSERT_TRUE(start(1));
    ASSERT_TRUE(sendSomething());
    EXPECT_EQ(wrongVendor.reportsReceived(), 0u);
    EXPECT_EQ(wrongProduct.reportsReceived(), 0u);
    EXPECT_EQ(controller.reportsReceived(), 1u);
}

TEST_F(HidUtilTest, TypeIndexZeroTakesAMakerDeviceWithoutProductIdentifier)
{
    platform::virtualhid::Properties properties;
    properties.setNumber(kIOHIDVendorIDKey, HidVendorID).setNumber(kIOHIDLocationIDKey, 0x01100000);
    platform::virtualhid::Device device(properties);
    device.attach();

    ASSERT_TRUE(start(0));
    EXPECT_TRUE(sendSomething());
    EXPECT_EQ(device.sentReports().size(), 1u);
}

TEST_F(HidUtilTest, TypeIndexOutsideTheTableMatchesNothing)
{
    PluggedController plugged;

    EXPECT_FALSE(start(2));
    util = std::make_unique<HidUtil>();
    EXPECT_FALSE(start(-1));
}

//==============================================================================
// Of two controllers, one is held; the other must never steal the link.
TEST_F(HidUtilTest, TakesAControllerAttachedLaterOnce)
{
    ASSERT_FALSE(start());
    PluggedController first(controllerAt(0x01100000));
    dispatchRunLoop();
    PluggedController second(controllerAt(0x01000000));
    dispatchRunLoop();

    EXPECT_EQ(handler.matchings.size(), 1u);
    ASSERT_TRUE(sendSomething());
    EXPECT_EQ(first.reportsReceived(), 1u);
    EXPECT_EQ(second.reportsReceived(), 0u);
}

//==============================================================================
// Reports are exchanged whole, in the platform's form, and never overrun the buffer.
TEST_F(HidUtilTest, SendsOutputReportsWithReportIdZero)
{
    PluggedController plugged;
    ASSERT_TRUE(start());

    ASSERT_TRUE(sendSomething());
    const auto sent = plugged.transport.device().sentReports();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].type, kIOHIDReportTypeOutput);
    EXPECT_EQ(sent[0].reportID, 0u);
    EXPECT_EQ(sent[0].bytes.size(), 64u);
    EXPECT_EQ(sent[0].bytes[0], ControllerCode::finish);
}

TEST_F(HidUtilTest, ClampsAnOversizedInputReportTo64Bytes)
{
    PluggedController plugged;
    ASSERT_TRUE(start());
    const std::vector<uint8_t> report = bytesCounting(70, 1);

    plugged.transport.sendInputReport(report);
    dispatchRunLoop();

    ASSERT_EQ(handler.inputs.size(), 1u);
    EXPECT_EQ(lastInput(), std::vector<uint8_t>(report.begin(), report.begin() + 64));
    EXPECT_EQ(lastInput(16), std::vector<uint8_t>(report.begin(), report.begin() + 16));
}

TEST_F(HidUtilTest, NothingGoesInOrOutAfterRemoval)
{
    PluggedController plugged;
    ASSERT_TRUE(start());
    plugged.transport.sendInputReport(bytesCounting(64, 1));
    dispatchRunLoop();

    plugged.transport.unplug();
    dispatchRunLoop();

    EXPECT_TRUE(lastInput().empty());
    EXPECT_FALSE(sendSomething());
    EXPECT_EQ(plugged.reportsReceived(), 0u);
    EXPECT_EQ(util->deviceVersion(), 0);
}

//==============================================================================
// Teardown must be repeatable and must silence every callback.
TEST_F(HidUtilTest, IgnoresInputAfterFinalize)
{
    PluggedController plugged;
    ASSERT_TRUE(start());

    util->finalize();
    util->finalize();
    plugged.transport.sendInputReport(bytesCounting(64, 1));
    dispatchRunLoop();
    uint8_t late[64] = {};
    HidUtil::Handle_IOHIDDeviceIOHIDReportCallback(nullptr, 0, nullptr, kIOHIDReportTypeInput, 0, late, 64);

    EXPECT_EQ(handler.callCount(), 0u);
    EXPECT_EQ(HidUtil::m_pinstance, nullptr);
    EXPECT_FALSE(sendSomething());
}

TEST_F(HidUtilTest, RefusesASecondBackendAndKeepsTheFirstWorking)
{
    ASSERT_FALSE(start());

    {
        HidUtil second;
        RecordingHidHandler secondHandler;
        EXPECT_FALSE(second.initialize(&secondHandler, 1));
        second.finalize();
    }

    EXPECT_EQ(HidUtil::m_pinstance, util.get());
    PluggedController plugged;
    dispatchRunLoop();
    EXPECT_EQ(handler.matchings.size(), 1u) << "the refused backend must not stop the live one's arrivals";
    EXPECT_TRUE(sendSomething());
}

} // namespace
} // namespace kvxtest
