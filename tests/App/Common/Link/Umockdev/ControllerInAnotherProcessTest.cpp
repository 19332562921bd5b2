// A program started by a test finds the emulated controller that the test
// process answers, and exchanges reports with it: the road that a test of the
// whole application takes.
#include "App/Common/Link/Umockdev/HidrawNodes.h"

#include "Support/EmulatedController.h"
#include "Support/UpdateReports.h"
#include "Support/Umockdev/TestbedProcess.h"
#include "Support/Umockdev/UmockdevControllerTransport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace kvxtest
{
namespace
{

ControllerIdentity identityAt(long locationID)
{
    ControllerIdentity identity;
    identity.locationID = locationID;
    return identity;
}

std::string listedController(long locationID)
{
    char line[96];
    std::snprintf(line, sizeof(line), "vendor 0x%04lX product 14 version 0x0123 location 0x%08lX\n",
                  static_cast<unsigned long>(KVX_VENDOR_ID), static_cast<unsigned long>(locationID));
    return line;
}

TEST(ControllerInAnotherProcessTest, AProgramOnTheTestbedFindsTheControllerAndHearsItsReply)
{
    EmulatedController controller;
    UmockdevControllerTransport transport(controller, sharedTestbed(), identityAt(0x01230000));
    transport.plugIn();

    TestbedProcess lister(sharedTestbed(), { KVX_LIST_HID_DEVICES_PATH, "--finish" });
    ASSERT_TRUE(lister.started());
    const std::string output = lister.readOutput();

    EXPECT_EQ(lister.waitForExit(), 0) << output;
    EXPECT_EQ(output, listedController(0x01230000) + "reply 0xFC\n");
    ASSERT_EQ(controller.transcript().size(), 2u);
    EXPECT_EQ(controller.transcript()[0].bytes, commandReport(ControllerCode::finish));
}

} // namespace
} // namespace kvxtest
