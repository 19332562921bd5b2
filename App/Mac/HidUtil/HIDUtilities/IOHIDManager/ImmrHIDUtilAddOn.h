// The platform registry's service object for a HID device, found by its location.
#pragma once

#include <IOKit/IOKitLib.h>
#include <IOKit/hid/IOHIDLib.h>

// The registry service of the device at the device's LocationID, or 0. The caller
// frees a non-zero result with FreeHIDObject.
io_service_t AllocateHIDObjectFromIOHIDDeviceRef(IOHIDDeviceRef inIOHIDDeviceRef);
// True when the platform released the service.
bool FreeHIDObject(io_service_t inHIDObject);
