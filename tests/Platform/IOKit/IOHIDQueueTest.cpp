// Element queues: the value changes of chosen elements, collected from input
// reports without any run loop running.
#include "Platform/IOKit/IOHIDElementTestSupport.h"

#include <thread>
#include <utility>

namespace
{
using namespace platformtest;

// An X axis (8 bits, logical 0..255) and a button, in one unnumbered report of
// two bytes, and an output field.
const Bytes axisAndButton = {
    0x05, 0x01, 0x09, 0x04, 0xA1, 0x01,                         // Generic Desktop, Joystick, Collection (Application)
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x01,       //   Logical 0..255, 8 bits, 1 field
    0x09, 0x30, 0x81, 0x02,                                     //   X: Input (Variable)
    0x05, 0x09, 0x09, 0x01, 0x15, 0x00, 0x25, 0x01,             //   Button 1, Logical 0..1
    0x75, 0x01, 0x81, 0x02, 0x75, 0x07, 0x81, 0x03,             //   1 bit, Input; 7 bits padding
    0x05, 0x08, 0x09, 0x01, 0x75, 0x08, 0x91, 0x02,             //   LED: Output
    0xC0,                                                       // End Collection
};

enum ElementIndex
{
    collection,
    xAxis,
    button,
    led
};

class ElementQueues : public DevicesWithDescriptors
{
protected:
    Retained<IOHIDQueueRef> makeQueue(IOHIDDeviceRef device, CFIndex depth = 50)
    {
        return Retained<IOHIDQueueRef>::adopt(IOHIDQueueCreate(kCFAllocatorDefault, device, depth, 0));
    }

    // The queue's values as "usage=value", taken out until it is empty.
    static std::vector<std::string> drain(IOHIDQueueRef queue)
    {
        std::vector<std::string> taken;
        while (auto value = Retained<IOHIDValueRef>::adopt(IOHIDQueueCopyNextValue(queue)))
            taken.push_back(describe(value.get()));
        return taken;
    }

    static std::string describe(IOHIDValueRef value)
    {
        return std::to_string(IOHIDElementGetUsage(IOHIDValueGetElement(value))) + "="
               + std::to_string(IOHIDValueGetIntegerValue(value));
    }

    using Values = std::vector<std::string>;
};

//==============================================================================
// Faults guarded against: values that flow only while a run loop runs, values
// lost (also by stopping), repeated or out of order, and changes counted from a
// stale value.

TEST_F(ElementQueues, CollectEachChangeOldestFirstWithoutARunLoop)
{
    IOHIDDeviceRef device = attach(axisAndButton);
    const auto elements = elementsOf(device);
    auto queue = makeQueue(device);
    IOHIDQueueAddElement(queue.get(), elements[xAxis]);
    IOHIDQueueAddElement(queue.get(), elements[button]);
    IOHIDQueueStart(queue.get());

    inject({ 10, 0 });
    inject({ 10, 1 });
    inject({ 20, 1 });
    inject({ 20, 1 });
    EXPECT_EQ(drain(queue.get()), (Values { "48=10", "1=1", "48=20" }));
}

TEST_F(ElementQueues, CountChangesFromTheValueTheElementHadWhenCollectingStarted)
{
    IOHIDDeviceRef device = attach(axisAndButton);
    IOHIDElementRef x = elementsOf(device)[xAxis];
    auto queue = makeQueue(device);
    IOHIDQueueAddElement(queue.get(), x);
    inject({ 7, 0 });
    EXPECT_EQ(drain(queue.get()), Values {}) << "not started";

    IOHIDQueueStart(queue.get());
    inject({ 7, 0 });
    EXPECT_EQ(drain(queue.get()), Values {}) << "7 was the value already";
    inject({ 8, 0 });
    IOHIDQueueStop(queue.get());
    inject({ 9, 0 });
    IOHIDQueueStart(queue.get());
    inject({ 9, 0 });
    inject({ 10, 0 });
    EXPECT_EQ(drain(queue.get()), (Values { "48=8", "48=10" })) << "stopping kept 8 and missed 9";
}

TEST_F(ElementQueues, AFullQueueKeepsItsOldestValuesAndDropsTheNewest)
{
    IOHIDDeviceRef device = attach(axisAndButton);
    auto queue = makeQueue(device, 2);
    IOHIDQueueAddElement(queue.get(), elementsOf(device)[xAxis]);
    IOHIDQueueStart(queue.get());
    for (uint8_t x = 1; x <= 4; ++x)
        inject({ x, 0 });
    auto first = Retained<IOHIDValueRef>::adopt(IOHIDQueueCopyNextValue(queue.get()));
    ASSERT_TRUE(first);
    EXPECT_EQ(describe(first.get()), "48=1");
    inject({ 5, 0 });
    EXPECT_EQ(drain(queue.get()), (Values { "48=2", "48=5" }));
}

//==============================================================================
// Faults guarded against: a queue whose element set is wrong (twice the same
// element, another device's, one removed still collecting).

TEST_F(ElementQueues, HoldEachElementOnceAndOnlyTheirOwnDevicesElements)
{
    IOHIDDeviceRef device = attach(axisAndButton, 1);
    IOHIDDeviceRef other = attach(axisAndButton, 2);
    const auto elements = elementsOf(device);
    auto queue = makeQueue(device);
    IOHIDQueueAddElement(queue.get(), elements[xAxis]);
    IOHIDQueueAddElement(queue.get(), elements[xAxis]);
    IOHIDQueueAddElement(queue.get(), elementsOf(other)[xAxis]);
    IOHIDQueueAddElement(queue.get(), elements[led]);
    EXPECT_TRUE(IOHIDQueueContainsElement(queue.get(), elements[xAxis]));
    EXPECT_FALSE(IOHIDQueueContainsElement(queue.get(), elementsOf(other)[xAxis]));
    EXPECT_FALSE(IOHIDQueueContainsElement(queue.get(), elements[button]));

    IOHIDQueueStart(queue.get());
    virtualDevices.front()->injectInput({ 3, 0 });
    settleValueThread();
    EXPECT_EQ(drain(queue.get()), (Values { "48=3" })) << "queued once";

    IOHIDQueueRemoveElement(queue.get(), elements[xAxis]);
    EXPECT_FALSE(IOHIDQueueContainsElement(queue.get(), elements[xAxis]));
    virtualDevices.front()->injectInput({ 4, 0 });
    settleValueThread();
    EXPECT_EQ(drain(queue.get()), Values {});
}

//==============================================================================
// Faults guarded against: a waiting reader that misses a value, and a queue
// released while its device is still taking reports in.

TEST_F(ElementQueues, AReaderWaitingWithATimeoutGetsTheValueThatArrivesMeanwhile)
{
    IOHIDDeviceRef device = attach(axisAndButton);
    auto queue = makeQueue(device);
    IOHIDQueueAddElement(queue.get(), elementsOf(device)[button]);
    IOHIDQueueStart(queue.get());
    EXPECT_FALSE(Retained<IOHIDValueRef>::adopt(IOHIDQueueCopyNextValueWithTimeout(queue.get(), 0.0)))
        << "empty: null at once";

    std::thread injector([&] { virtualDevices.back()->injectInput({ 0, 1 }); });
    // Generous: the value comes as soon as the report is taken in.
    auto value = Retained<IOHIDValueRef>::adopt(IOHIDQueueCopyNextValueWithTimeout(queue.get(), 60.0));
    injector.join();
    ASSERT_TRUE(value);
    EXPECT_EQ(describe(value.get()), "1=1");
}

TEST_F(ElementQueues, CanBeReleasedWhileTheirDeviceTakesReportsIn)
{
    IOHIDDeviceRef device = attach(axisAndButton);
    IOHIDElementRef x = elementsOf(device)[xAxis];
    // The value the device hands out, which it keeps, holds the element too.
    IOHIDValueRef latest = nullptr;
    ASSERT_EQ(IOHIDDeviceGetValue(device, x, &latest), kIOReturnSuccess);
    const CFIndex heldWithoutQueues = CFGetRetainCount(x);
    for (int round = 0; round < 50; ++round)
    {
        auto queue = makeQueue(device);
        IOHIDQueueAddElement(queue.get(), x);
        IOHIDQueueStart(queue.get());
        virtualDevices.back()->injectInput({ static_cast<uint8_t>(round), 0 });
    }
    settleValueThread();
    // Each queue held the element and its values: the device kept none of them.
    EXPECT_EQ(CFGetRetainCount(x), heldWithoutQueues);
}

} // namespace
