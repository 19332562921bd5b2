// Element queues: for each device at most one platform queue (depth 50) that
// collects the value changes of the elements a caller chose, kept as the
// device's "DeviceQueueRef" property, polled without waiting and released when
// its last element is taken out.
//
// The functions return the platform's IOReturn codes: kIOReturnBadArgument for
// a null device or element, kIOReturnError for a device without a queue (and
// none could be made). Their diagnostics go to HIDReportError and
// HIDReportErrorNum. A non-null device or element of the wrong platform type
// stops the program where a function asserts it. No locks: callers serialise.
#pragma once

#include "HID_Utilities.h"

// Gives the device a queue unless it has one. 0 in every case: read the
// device's queue afterwards to learn whether one exists.
IOReturn HIDCreateQueue(IOHIDDeviceRef inIOHIDDeviceRef);

// Adds the element (once) to the device's queue, creating the queue when
// missing, and leaves the queue started.
IOReturn HIDQueueElement(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef);
// Adds every input, output and feature element of the device (mask 14).
IOReturn HIDQueueDevice(IOHIDDeviceRef inIOHIDDeviceRef);

// Takes the element out; when none of the device's input, output and feature
// elements remains, the queue is disposed of, else started again.
IOReturn HIDDequeueElement(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef);
// Takes every element of mask 14 out and disposes of the queue.
IOReturn HIDDequeueDevice(IOHIDDeviceRef inIOHIDDeviceRef);

// True when the queue holds none of the device's elements of mask 14, and for
// a null device or a device without a queue.
Boolean HIDIsDeviceQueueEmpty(IOHIDDeviceRef inIOHIDDeviceRef);
// Stops and releases the device's queue; afterwards it has none. 0 in every case.
IOReturn HIDDisposeReleaseQueue(IOHIDDeviceRef inIOHIDDeviceRef);
// HIDDequeueDevice on every listed device (moving the list's walking cursor);
// the result is the last device's, 0 for an empty or missing list.
IOReturn HIDReleaseAllDeviceQueues(void);

// Takes the oldest value of the device's queue without waiting. True when one
// was taken: *pIOHIDValueRef then owns it and the caller releases it. False,
// with null stored, when the queue is empty; false, with nothing stored or
// taken, for a null pointer.
Boolean HIDGetEvent(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDValueRef* pIOHIDValueRef);
