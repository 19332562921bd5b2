// The values of HID elements: an element's integer value at a point in time.
//
// A device object keeps each input element's latest value from the input
// reports it takes in while open: on the run loop it is scheduled on, and while
// it is not scheduled, on a thread of the layer's own, so that values stay
// current for a caller that polls them without running a run loop. Any thread.
#pragma once

#include <IOKit/hid/IOHIDElement.h>

typedef enum : uint32_t
{
    // The logical value mapped onto the element's calibration properties
    // (kIOHIDElementCalibration... keys; without them onto -1..1).
    kIOHIDValueScaleTypeCalibrated = 0,
    // The logical range mapped onto the physical one.
    kIOHIDValueScaleTypePhysical = 1,
    // The physical value times ten to the element's unit exponent.
    kIOHIDValueScaleTypeExponent = 2
} IOHIDValueScaleType;

CFTypeID IOHIDValueGetTypeID(void);

// The element's latest value in *pValue, not retained for the caller: valid until
// the next IOHIDDeviceGetValue for the same element or until the device object
// is gone. An input element reads 0 with time stamp 0 until a report holding it
// has arrived; output and feature elements always read 0. kIOReturnSuccess;
// kIOReturnBadArgument for null arguments or an element of another device;
// kIOReturnUnsupported for a collection.
IOReturn IOHIDDeviceGetValue(IOHIDDeviceRef device, IOHIDElementRef element, IOHIDValueRef* pValue);

// A new value of the element (retained by the value). Caller releases; null for
// a null element or out of memory.
IOHIDValueRef IOHIDValueCreateWithIntegerValue(CFAllocatorRef allocator, IOHIDElementRef element, uint64_t timeStamp,
                                               CFIndex value);

// Not retained for the caller: valid as long as the value.
IOHIDElementRef IOHIDValueGetElement(IOHIDValueRef value);
// Nanoseconds of the system's monotonic clock when the report arrived.
uint64_t IOHIDValueGetTimeStamp(IOHIDValueRef value);
CFIndex IOHIDValueGetIntegerValue(IOHIDValueRef value);
// Calibrated: the value clamped to the saturation range (when its minimum lies
// below its maximum; else the logical range), the midpoint of the calibration
// range inside the dead zone (when its minimum lies below its maximum), the rest
// mapped linearly onto the calibration range, then rounded to a multiple of the
// granularity when that is positive. A range of one point maps to its lower end.
double IOHIDValueGetScaledValue(IOHIDValueRef value, IOHIDValueScaleType type);
