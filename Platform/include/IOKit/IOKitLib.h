// The IOKit registry, as far as HID devices go: finding a device's service by
// its properties.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOReturn.h>

typedef UInt32 mach_port_t;
typedef mach_port_t io_object_t;
typedef io_object_t io_service_t;

static const mach_port_t kIOMasterPortDefault = 0;
static const mach_port_t kIOMainPortDefault = 0;

// A new matching dictionary for services of the class (its "IOProviderClass").
// Caller releases, or hands it to IOServiceGetMatchingService. Null for a null name.
CFMutableDictionaryRef IOServiceMatching(const char* name);

// Takes over matching (releases it). The first device of the process's device
// source whose properties hold every key of the dictionary (besides
// "IOProviderClass", which must be "IOHIDDevice") with an equal value, as a new
// handle the caller frees with IOObjectRelease; 0 when none matches.
io_service_t IOServiceGetMatchingService(mach_port_t mainPort, CFDictionaryRef matching);

// Frees a handle: kIOReturnSuccess, or kIOReturnBadArgument for 0 or a handle
// that is not live.
kern_return_t IOObjectRelease(io_object_t object);
