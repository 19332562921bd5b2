// The access hint of Platform/DeviceAccess.h, as the hidraw source prints it.
#pragma once

#include "HidrawDeviceInfo.h"

namespace platform::hidraw
{

// Prints the hint when opening this device's node failed with a permission
// error, the device is the hinted one and the hint has not been printed yet.
void reportOpenFailure(const DeviceInfo& device, int error);

} // namespace platform::hidraw
