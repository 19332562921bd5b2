// Element queues of a HID device: the value changes of chosen elements, oldest first.
//
// While started, a queue takes a value for each of its elements whose value an
// input report changes (compared with the element's last value that the queue
// saw, or its value when the queue started). It collects them on the thread that
// takes the device's input in, so no run loop has to run: the device only has
// to be open (as the devices of an open HID manager are). A full queue keeps what
// it holds and drops the new values until a value is taken out. Stopping keeps
// the values already queued. A queue is never scheduled on a run loop here: its
// values only leave it through the copy calls. Any thread.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

CFTypeID IOHIDQueueGetTypeID(void);

// A new, stopped, empty queue on device that holds at most depth values.
// Null for a null device or a depth below 1. Caller releases.
IOHIDQueueRef IOHIDQueueCreate(CFAllocatorRef allocator, IOHIDDeviceRef device, CFIndex depth, IOOptionBits options);

// The device the queue was made for (not retained for the caller).
IOHIDDeviceRef IOHIDQueueGetDevice(IOHIDQueueRef queue);
CFIndex IOHIDQueueGetDepth(IOHIDQueueRef queue);

// Adds an element of the queue's device; adding one twice, or an element of
// another device, changes nothing. Only input elements ever change through input
// reports; the others may be added but never bring values.
void IOHIDQueueAddElement(IOHIDQueueRef queue, IOHIDElementRef element);
// Values of the element already queued stay.
void IOHIDQueueRemoveElement(IOHIDQueueRef queue, IOHIDElementRef element);
Boolean IOHIDQueueContainsElement(IOHIDQueueRef queue, IOHIDElementRef element);

// Start collecting; a queue already started stays so.
void IOHIDQueueStart(IOHIDQueueRef queue);
// Stop collecting; the values queued so far stay.
void IOHIDQueueStop(IOHIDQueueRef queue);

// The oldest value, taken out of the queue; caller releases. Null at once when
// the queue is empty.
IOHIDValueRef IOHIDQueueCopyNextValue(IOHIDQueueRef queue);
// The same, waiting up to timeout seconds for a value to arrive (0 or less: not at all).
IOHIDValueRef IOHIDQueueCopyNextValueWithTimeout(IOHIDQueueRef queue, CFTimeInterval timeout);
