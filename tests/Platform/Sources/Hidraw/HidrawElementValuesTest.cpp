// Elements and their values over the hidraw source: the device's own report
// descriptor gives the elements, and input reports move their values while no
// run loop runs, as a caller polling them on its own thread needs.
#include "HidrawTestSupport.h"

#include <CoreFoundation/CoreFoundation.h>

using namespace kvxtest;

namespace
{
class HidrawElementValues : public HidrawSuite
{
};

CFIndex integerValue(IOHIDDeviceRef device, IOHIDElementRef element)
{
    IOHIDValueRef value = nullptr;
    if (IOHIDDeviceGetValue(device, element, &value) != kIOReturnSuccess)
        return -1;
    return IOHIDValueGetIntegerValue(value);
}
} // namespace

TEST_F(HidrawElementValues, TheControllersInputElementsFollowItsReportsWithoutARunLoop)
{
    auto& controller = testbed->plugIn(controllerOnPort("12"));
    OpenManager manager;
    IOHIDDeviceRef device = manager.deviceWith("LocationID", 0x01C00000);
    ASSERT_NE(device, nullptr);

    CFArrayRef elements = IOHIDDeviceCopyMatchingElements(device, nullptr, 0);
    ASSERT_NE(elements, nullptr);
    ASSERT_EQ(CFArrayGetCount(elements), 1 + 64 + 64);
    auto elementAt = [elements](CFIndex index) {
        return static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(elements, index)));
    };
    EXPECT_EQ(IOHIDElementGetType(elementAt(0)), kIOHIDElementTypeCollection);
    EXPECT_EQ(IOHIDElementGetType(elementAt(1)), kIOHIDElementTypeInput_Misc);
    EXPECT_EQ(IOHIDElementGetType(elementAt(65)), kIOHIDElementTypeOutput);
    EXPECT_EQ(IOHIDElementGetDevice(elementAt(1)), device);

    std::vector<uint8_t> report(64);
    report[0] = 0xF9;
    report[1] = 42;
    controller.sendInputReport(report);
    EXPECT_TRUE(eventually([&] { return integerValue(device, elementAt(1)) == 0xF9; }));
    EXPECT_EQ(integerValue(device, elementAt(2)), 42);
    EXPECT_EQ(integerValue(device, elementAt(65)), 0) << "output elements take no input";
    CFRelease(elements);
}
