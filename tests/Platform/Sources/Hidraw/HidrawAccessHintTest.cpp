// A user without access to the device they came for learns the remedy once,
// and nothing about the other devices they may not open.
#include "HidrawTestSupport.h"

#include "Sources/Hidraw/HidrawAccessHint.h"

#include <Platform/DeviceAccess.h>

#include <cerrno>

using namespace kvxtest;

namespace
{
class HidrawAccessHint : public HidrawSuite
{
};

const std::string hint = "Install the rule.";

std::string hintFor(const std::string& node)
{
    return "hidraw: cannot open " + node + ": Permission denied (errno 13). " + hint + "\n";
}
} // namespace

TEST_F(HidrawAccessHint, OnlyTheHintedDevicesDeniedNodeNamesTheRemedyAndOnlyOnce)
{
    auto otherDescription = controllerOnPort("14");
    otherDescription.productID = 0x000f;
    ScopedAccessDenial otherDenied(testbed->plugIn(otherDescription));
    platform::setAccessDeniedHint(0x1209, 0x000e, hint);
    testing::internal::CaptureStderr();
    OpenManager managerOfTheOther;

    auto& controller = testbed->plugIn(controllerOnPort("15"));
    ScopedAccessDenial controllerDenied(controller);
    OpenManager manager;
    IOHIDDeviceRef device = manager.deviceWith("LocationID", 0x01F00000);
    const IOReturn secondAttempt =
        device != nullptr ? IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone) : kIOReturnNoDevice;
    const std::string messages = testing::internal::GetCapturedStderr();

    EXPECT_EQ(secondAttempt, kIOReturnNotPrivileged);
    EXPECT_EQ(messages, hintFor(controller.devnode()));
}

TEST(HidrawAccessHintErrors, AnotherVendorsDeviceOrAnotherErrorLeavesTheHintUnprinted)
{
    platform::hidraw::DeviceInfo controller;
    controller.devnode = "/dev/hidraw9";
    controller.vendorID = 0x1209;
    controller.productID = 0x000e;
    auto otherVendors = controller;
    otherVendors.devnode = "/dev/hidraw8";
    otherVendors.vendorID = 0x046d;
    platform::setAccessDeniedHint(0x1209, 0x000e, hint);
    testing::internal::CaptureStderr();
    platform::hidraw::reportOpenFailure(otherVendors, EACCES);
    platform::hidraw::reportOpenFailure(controller, ENOENT);
    platform::hidraw::reportOpenFailure(controller, EACCES);

    EXPECT_EQ(testing::internal::GetCapturedStderr(), hintFor("/dev/hidraw9"));
}
