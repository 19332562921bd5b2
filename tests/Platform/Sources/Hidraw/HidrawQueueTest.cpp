// Element queues over the hidraw source: the controller's input reports, read
// from its node, fill a queue while no run loop runs.
#include "HidrawTestSupport.h"

#include <CoreFoundation/CoreFoundation.h>

using namespace kvxtest;

namespace
{
class HidrawQueues : public HidrawSuite
{
};

std::string describe(IOHIDValueRef value)
{
    if (value == nullptr)
        return "(none)";
    const auto text = std::to_string(IOHIDElementGetCookie(IOHIDValueGetElement(value))) + "="
                      + std::to_string(IOHIDValueGetIntegerValue(value));
    CFRelease(value);
    return text;
}
} // namespace

TEST_F(HidrawQueues, TheControllersReportsFillAQueueWithoutARunLoop)
{
    auto& controller = testbed->plugIn(controllerOnPort("13"));
    OpenManager manager;
    IOHIDDeviceRef device = manager.deviceWith("LocationID", 0x01D00000);
    ASSERT_NE(device, nullptr);
    CFArrayRef elements = IOHIDDeviceCopyMatchingElements(device, nullptr, 0);
    ASSERT_NE(elements, nullptr);
    ASSERT_GT(CFArrayGetCount(elements), 2);
    IOHIDQueueRef queue = IOHIDQueueCreate(kCFAllocatorDefault, device, 50, 0);
    ASSERT_NE(queue, nullptr);
    for (CFIndex index : { 1, 2 })
        IOHIDQueueAddElement(queue, static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(elements, index))));
    IOHIDQueueStart(queue);

    std::vector<uint8_t> report(64);
    report[0] = 0xF9;
    report[1] = 42;
    controller.sendInputReport(report);
    report[1] = 43;
    controller.sendInputReport(report);

    // Generous time-outs: each value comes as soon as its report is read.
    EXPECT_EQ(describe(IOHIDQueueCopyNextValueWithTimeout(queue, 10.0)), "2=249");
    EXPECT_EQ(describe(IOHIDQueueCopyNextValueWithTimeout(queue, 10.0)), "3=42");
    EXPECT_EQ(describe(IOHIDQueueCopyNextValueWithTimeout(queue, 10.0)), "3=43");
    EXPECT_EQ(describe(IOHIDQueueCopyNextValue(queue)), "(none)") << "the reply code did not change";
    CFRelease(queue);
    CFRelease(elements);
}
