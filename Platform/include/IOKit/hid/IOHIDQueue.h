// Element queues of a HID device.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

CFTypeID IOHIDQueueGetTypeID(void);

// A new, stopped, empty queue on device that holds at most depth values.
// Null for a null device or a depth below 1. Caller releases.
IOHIDQueueRef IOHIDQueueCreate(CFAllocatorRef allocator, IOHIDDeviceRef device, CFIndex depth, IOOptionBits options);

// The device the queue was made for (not retained for the caller).
IOHIDDeviceRef IOHIDQueueGetDevice(IOHIDQueueRef queue);
CFIndex IOHIDQueueGetDepth(IOHIDQueueRef queue);
