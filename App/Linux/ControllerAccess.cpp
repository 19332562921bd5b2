#include "ControllerAccess.h"

#include "HidUtil.h"

#include <Platform/DeviceAccess.h>

#include <cstdint>

void setControllerAccessHint()
{
    // An installed copy has no build folder: the hint names the rule's file
    // (as udev/CMakeLists.txt writes it) and what to do with it.
    platform::setAccessDeniedHint (static_cast<uint32_t> (HidVendorID),
                                   static_cast<uint32_t> (HidDeviceType[1]),
                                   "This is the KVX-TN controller: its node belongs to root until the udev rule "
                                   "70-kvx-tn.rules is installed. scripts/start.sh installs it; by hand, from the "
                                   "folder that holds the rule: sudo cp 70-kvx-tn.rules /etc/udev/rules.d/ && "
                                   "sudo udevadm control --reload-rules && "
                                   "sudo udevadm trigger --subsystem-match=hidraw");
}
