#include "HID_Queue_Utilities.h"

#include "HID_Assert.h"
#include "HID_Error_Handler.h"

namespace
{
constexpr CFIndex queueDepth = 50;
// Input, output and feature elements: what a whole device's queue holds.
constexpr HIDElementTypeMask wholeDeviceMask = HIDElementMaskInput | HIDElementMaskOutput | HIDElementMaskFeature;

// The device's queue, made first when it has none; result receives the creation's result.
IOHIDQueueRef queueCreatedIfMissing(IOHIDDeviceRef device, IOReturn& result)
{
    result = kIOReturnSuccess;
    if (IOHIDQueueRef queue = IOHIDDevice_GetQueue(device))
        return queue;
    result = HIDCreateQueue(device);
    // Creation reports no failure of its own: only the device's queue tells.
    return result == kIOReturnSuccess ? IOHIDDevice_GetQueue(device) : nullptr;
}

// Each element of the whole-device set in turn, until visit returns false.
template <typename Visit>
void forEachWholeDeviceElement(IOHIDDeviceRef device, Visit visit)
{
    for (IOHIDElementRef element = HIDGetFirstDeviceElement(device, wholeDeviceMask); element != nullptr;
         element = HIDGetNextDeviceElement(element, wholeDeviceMask))
        if (!visit(element))
            return;
}

void reportDisposalFailure(IOReturn result)
{
    if (result != kIOReturnSuccess)
        HIDReportErrorNum("Failed to dispose and release queue.", result);
}
} // namespace

IOReturn HIDCreateQueue(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportErrorNum("HID device ref does not exist for queue creation", 0);
        return kIOReturnSuccess;
    }
    HIDAssert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));
    if (IOHIDDevice_GetQueue(inIOHIDDeviceRef) != nullptr)
        return kIOReturnSuccess;

    if (IOHIDQueueRef queue = IOHIDQueueCreate(kCFAllocatorDefault, inIOHIDDeviceRef, queueDepth, 0))
        IOHIDDevice_SetQueue(inIOHIDDeviceRef, queue);
    else
        HIDReportErrorNum("Failed to create queue via create", 0);
    return kIOReturnSuccess;
}

IOReturn HIDQueueElement(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("NULL device passed to HIDQueueElement.");
        return kIOReturnBadArgument;
    }
    HIDAssert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));
    if (inIOHIDElementRef == nullptr)
    {
        HIDReportError("NULL element passed to HIDQueueElement.");
        return kIOReturnBadArgument;
    }
    HIDAssert(IOHIDElementGetTypeID() == CFGetTypeID(inIOHIDElementRef));

    IOReturn result = kIOReturnSuccess;
    const IOHIDQueueRef queue = queueCreatedIfMissing(inIOHIDDeviceRef, result);
    if (queue == nullptr)
    {
        HIDReportError("No queue for device passed to HIDQueueElement.");
        return result != kIOReturnSuccess ? result : kIOReturnError;
    }
    IOHIDQueueStop(queue);
    if (!IOHIDQueueContainsElement(queue, inIOHIDElementRef))
        IOHIDQueueAddElement(queue, inIOHIDElementRef);
    IOHIDQueueStart(queue);
    return result;
}

IOReturn HIDQueueDevice(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("Device does not exist, cannot queue device.");
        return kIOReturnBadArgument;
    }
    IOReturn result = kIOReturnSuccess;
    const IOHIDQueueRef queue = queueCreatedIfMissing(inIOHIDDeviceRef, result);
    if (result != kIOReturnSuccess || queue == nullptr)
    {
        HIDReportErrorNum("Could not queue device due to problem creating queue.", result);
        return result != kIOReturnSuccess ? result : kIOReturnError;
    }
    IOHIDQueueStop(queue);
    forEachWholeDeviceElement(inIOHIDDeviceRef, [queue](IOHIDElementRef element) {
        if (!IOHIDQueueContainsElement(queue, element))
            IOHIDQueueAddElement(queue, element);
        return true;
    });
    IOHIDQueueStart(queue);
    return kIOReturnSuccess;
}

IOReturn HIDDequeueElement(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("NULL device passed to HIDDequeueElement.");
        return kIOReturnBadArgument;
    }
    HIDAssert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));
    if (inIOHIDElementRef == nullptr)
    {
        HIDReportError("NULL element passed to HIDDequeueElement.");
        return kIOReturnBadArgument;
    }
    HIDAssert(IOHIDElementGetTypeID() == CFGetTypeID(inIOHIDElementRef));

    const IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef);
    if (queue == nullptr)
    {
        HIDReportError("No queue for device passed to HIDDequeueElement.");
        return kIOReturnError;
    }
    IOHIDQueueStop(queue);
    if (IOHIDQueueContainsElement(queue, inIOHIDElementRef))
        IOHIDQueueRemoveElement(queue, inIOHIDElementRef);

    IOReturn result = kIOReturnSuccess;
    if (HIDIsDeviceQueueEmpty(inIOHIDDeviceRef))
    {
        result = HIDDisposeReleaseQueue(inIOHIDDeviceRef);
        reportDisposalFailure(result);
    }
    else
        IOHIDQueueStart(queue);
    return result;
}

IOReturn HIDDequeueDevice(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
        return kIOReturnBadArgument;
    const IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef);
    if (queue == nullptr)
        return kIOReturnError;

    forEachWholeDeviceElement(inIOHIDDeviceRef, [queue](IOHIDElementRef element) {
        if (IOHIDQueueContainsElement(queue, element))
            IOHIDQueueRemoveElement(queue, element);
        return true;
    });
    const IOReturn result = HIDDisposeReleaseQueue(inIOHIDDeviceRef);
    reportDisposalFailure(result);
    return result;
}

Boolean HIDIsDeviceQueueEmpty(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("NULL device passed to HIDIsDeviceQueueEmpty.");
        return true;
    }
    HIDAssert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));
    const IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef);
    if (queue == nullptr)
        return true;

    bool empty = true;
    forEachWholeDeviceElement(inIOHIDDeviceRef, [queue, &empty](IOHIDElementRef element) {
        empty = !IOHIDQueueContainsElement(queue, element);
        return empty;
    });
    return empty;
}

IOReturn HIDDisposeReleaseQueue(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("NULL device passed to HIDDisposeReleaseQueue.");
        return kIOReturnSuccess;
    }
    if (const IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef))
    {
        IOHIDQueueStop(queue);
        CFRelease(queue);
        // The property held the reference without retaining it: it must not name the freed queue.
        IOHIDDevice_SetQueue(inIOHIDDeviceRef, nullptr);
    }
    return kIOReturnSuccess;
}

IOReturn HIDReleaseAllDeviceQueues(void)
{
    IOReturn result = kIOReturnSuccess;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
    {
        result = HIDDequeueDevice(device);
        if (result != kIOReturnSuccess)
            HIDReportErrorNum("Could not dequeue device.", result);
    }
    return result;
}

Boolean HIDGetEvent(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDValueRef* pIOHIDValueRef)
{
    if (inIOHIDDeviceRef == nullptr)
    {
        HIDReportError("Could not get HID event, device does not exist.");
        return false;
    }
    const IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef);
    if (queue == nullptr)
    {
        HIDReportError("Could not get HID event, hid queue reference does not exist.");
        return false;
    }
    if (pIOHIDValueRef == nullptr)
        return false;
    *pIOHIDValueRef = IOHIDQueueCopyNextValueWithTimeout(queue, 0.0);
    return *pIOHIDValueRef != nullptr;
}
