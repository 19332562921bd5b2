// The device queues: created on demand, filled element by element or whole,
// polled without waiting, and disposed of with their last element.
#include "ElementDeviceList.h"
#include "EveryElementType.h"
#include "HID_Queue_Utilities.h"
#include "ReportedErrors.h"

#include <chrono>

namespace
{
using Reports = std::vector<std::string>;

class DeviceQueues : public ElementDeviceList
{
protected:
    void SetUp() override
    {
        ElementDeviceList::SetUp();
        device = attachDescribed(everyElementType);
        elements = allElements(device);
        ASSERT_EQ(elements.size(), 8u);
    }

    void TearDown() override
    {
        HIDReleaseAllDeviceQueues();
        ElementDeviceList::TearDown();
    }

    // Moves the X axis (the report's second byte) and waits until the device took the report in.
    void moveAxis(uint8_t x)
    {
        devices.back()->injectInput({ 0, x, 0, 0 });
        ASSERT_TRUE(waitForValue(elements[xAxis], x));
    }

    // The queue takes the report in just after the element value: poll until a value comes.
    IOHIDValueRef pollEvent()
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        IOHIDValueRef value = nullptr;
        while (!HIDGetEvent(device, &value) && std::chrono::steady_clock::now() < giveUp)
            continue;
        return value;
    }

    ReportedErrors errors;
    IOHIDDeviceRef device = nullptr;
    std::vector<IOHIDElementRef> elements;
};

const auto noQueueReport = "Could not get HID event, hid queue reference does not exist.";

//==============================================================================
// Faults guarded against: an element queued twice, a queue left stopped, a
// value lost or not handed to the caller.

TEST_F(DeviceQueues, QueueingCreatesAStartedQueueThatHoldsEachElementOnce)
{
    EXPECT_EQ(HIDQueueElement(device, elements[xAxis]), kIOReturnSuccess);
    EXPECT_EQ(HIDQueueElement(device, elements[xAxis]), kIOReturnSuccess);
    const IOHIDQueueRef queue = IOHIDDevice_GetQueue(device);
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(IOHIDQueueGetDepth(queue), 50);

    IOHIDValueRef value = reinterpret_cast<IOHIDValueRef>(&value);
    EXPECT_FALSE(HIDGetEvent(device, &value)) << "nothing arrived yet";
    EXPECT_EQ(value, nullptr);

    moveAxis(77);
    value = pollEvent();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(IOHIDValueGetElement(value), elements[xAxis]);
    EXPECT_EQ(IOHIDValueGetIntegerValue(value), 77);
    CFRelease(value);
    EXPECT_FALSE(HIDGetEvent(device, &value)) << "one change, one value, although queued twice";
    EXPECT_EQ(errors.take(), Reports {});
}

TEST_F(DeviceQueues, GettingAnEventWithoutAPlaceForItTakesNothing)
{
    HIDQueueElement(device, elements[xAxis]);
    moveAxis(5);
    IOHIDValueRef value = pollEvent();
    ASSERT_NE(value, nullptr);
    CFRelease(value);

    moveAxis(6);
    EXPECT_FALSE(HIDGetEvent(device, nullptr));
    value = pollEvent();
    ASSERT_NE(value, nullptr) << "the value is still queued";
    EXPECT_EQ(IOHIDValueGetIntegerValue(value), 6);
    CFRelease(value);
    EXPECT_EQ(errors.take(), Reports {});
}

TEST_F(DeviceQueues, QueueingTheWholeDeviceTakesInputOutputAndFeatureElements)
{
    EXPECT_EQ(HIDQueueDevice(device), kIOReturnSuccess);
    const IOHIDQueueRef queue = IOHIDDevice_GetQueue(device);
    ASSERT_NE(queue, nullptr);
    for (auto index : { scanCode, xAxis, misc, button, outputLED, feature })
        EXPECT_TRUE(IOHIDQueueContainsElement(queue, elements[index])) << "element " << index;
    for (auto index : { applicationCollection, typeNineCollection })
        EXPECT_FALSE(IOHIDQueueContainsElement(queue, elements[index])) << "element " << index;
    EXPECT_FALSE(HIDIsDeviceQueueEmpty(device));
}

//==============================================================================
// Faults guarded against: a queue kept (or freed and still named) once its last
// element left, and a disposal that leaves the device unable to queue again.

TEST_F(DeviceQueues, DequeueingTheLastElementDisposesOfTheQueue)
{
    HIDQueueElement(device, elements[xAxis]);
    HIDQueueElement(device, elements[applicationCollection]);
    EXPECT_EQ(HIDDequeueElement(device, elements[button]), kIOReturnSuccess) << "not queued: nothing changes";
    EXPECT_NE(IOHIDDevice_GetQueue(device), nullptr);

    EXPECT_EQ(HIDDequeueElement(device, elements[xAxis]), kIOReturnSuccess);
    EXPECT_EQ(IOHIDDevice_GetQueue(device), nullptr) << "a collection alone does not keep it";
    IOHIDValueRef value = nullptr;
    EXPECT_FALSE(HIDGetEvent(device, &value));
    EXPECT_EQ(errors.take(), Reports { noQueueReport });

    EXPECT_EQ(HIDQueueElement(device, elements[button]), kIOReturnSuccess);
    EXPECT_NE(IOHIDDevice_GetQueue(device), nullptr);
}

TEST_F(DeviceQueues, ReleasingAllQueuesGivesTheLastDevicesResult)
{
    HIDQueueDevice(device);
    platform::virtualhid::Properties later;
    later.setNumber(kIOHIDLocationIDKey, 2);
    attachDescribed(everyElementType, later);
    ASSERT_EQ(HIDCountDevices(), 2u);

    EXPECT_EQ(HIDReleaseAllDeviceQueues(), kIOReturnError) << "the last device had no queue";
    EXPECT_EQ(IOHIDDevice_GetQueue(device), nullptr);
    EXPECT_EQ(errors.take(), Reports { "Could not dequeue device. #-536870212 (0xe00002bc)" });

    const IOHIDDeviceRef second = HIDGetNextDevice(HIDGetFirstDevice());
    HIDQueueElement(second, HIDGetFirstDeviceElement(second, HIDElementMaskInput));
    EXPECT_EQ(HIDReleaseAllDeviceQueues(), kIOReturnSuccess) << "the first device's error is dropped";
    EXPECT_EQ(errors.take(), Reports { "Could not dequeue device. #-536870212 (0xe00002bc)" });
    EXPECT_EQ(IOHIDDevice_GetQueue(second), nullptr);

    HIDReleaseDeviceList();
    EXPECT_EQ(HIDReleaseAllDeviceQueues(), kIOReturnSuccess) << "no list";
}

//==============================================================================
// Faults guarded against: a null argument taken for a device, or reported
// wrongly; a wrong reference type let through.

TEST_F(DeviceQueues, NullArgumentsAreReportedAndRefused)
{
    IOHIDValueRef value = nullptr;
    EXPECT_EQ(HIDQueueElement(nullptr, elements[xAxis]), kIOReturnBadArgument);
    EXPECT_EQ(HIDQueueElement(device, nullptr), kIOReturnBadArgument);
    EXPECT_EQ(HIDQueueDevice(nullptr), kIOReturnBadArgument);
    EXPECT_EQ(HIDDequeueElement(nullptr, elements[xAxis]), kIOReturnBadArgument);
    EXPECT_EQ(HIDDequeueElement(device, nullptr), kIOReturnBadArgument);
    EXPECT_EQ(HIDDequeueElement(device, elements[xAxis]), kIOReturnError);
    EXPECT_EQ(HIDDequeueDevice(nullptr), kIOReturnBadArgument);
    EXPECT_TRUE(HIDIsDeviceQueueEmpty(nullptr));
    EXPECT_EQ(HIDCreateQueue(nullptr), kIOReturnSuccess);
    EXPECT_EQ(HIDDisposeReleaseQueue(nullptr), kIOReturnSuccess);
    EXPECT_FALSE(HIDGetEvent(nullptr, &value));
    EXPECT_EQ(errors.take(), (Reports { "NULL device passed to HIDQueueElement.",
                                        "NULL element passed to HIDQueueElement.",
                                        "Device does not exist, cannot queue device.",
                                        "NULL device passed to HIDDequeueElement.",
                                        "NULL element passed to HIDDequeueElement.",
                                        "No queue for device passed to HIDDequeueElement.",
                                        "NULL device passed to HIDIsDeviceQueueEmpty.",
                                        "HID device ref does not exist for queue creation #0 (0x0)",
                                        "NULL device passed to HIDDisposeReleaseQueue.",
                                        "Could not get HID event, device does not exist." }));
    EXPECT_EQ(IOHIDDevice_GetQueue(device), nullptr);
}

TEST_F(DeviceQueues, AnElementOfTheWrongTypeStopsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto notAnElement = reinterpret_cast<IOHIDElementRef>(const_cast<void*>(static_cast<const void*>(device)));
    EXPECT_DEATH(HIDQueueElement(device, notAnElement),
                 "IOHIDElementGetTypeID\\(\\) == CFGetTypeID\\(inIOHIDElementRef\\)");
}

} // namespace
