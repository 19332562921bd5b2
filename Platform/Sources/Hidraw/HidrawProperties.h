// The HID manager's property dictionary of a hidraw device.
#pragma once

#include "HidrawDeviceInfo.h"
#include "IOKit/Retained.h"

#include <CoreFoundation/CFDictionary.h>

namespace platform::hidraw
{

// "VendorID", "Product", "LocationID", ... from what udev told, and the usages
// and maximum report sizes from the report descriptor. A value the system did
// not give is left out rather than set to zero.
Retained<CFDictionaryRef> createDeviceProperties(const DeviceInfo& info);

} // namespace platform::hidraw
