// LocationID values for hidraw devices.
//
// A LocationID orders devices by where they sit. For USB it has the bus number
// in the top byte and then one hexadecimal digit per port on the way from the
// root hub (bus 1, ports 2.3 give 0x01230000), so sorting by it sorts by bus and
// then by port path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform::hidraw
{

// From sysfs's busnum and devpath ("2.3"). Nothing when the path does not fit
// the scheme: a bus above 255, a port above 15, more than six levels of hubs,
// or text that is not a port path.
std::optional<uint32_t> usbLocationID(uint32_t busNumber, const std::string& devpath);

// For buses without a port path (Bluetooth, I2C, ...): a hash of the kernel's
// physical path and unique id of the device, which stay the same across
// reconnections and reboots. Nothing when both are empty.
std::optional<uint32_t> hashedLocationID(const std::string& physicalPath, const std::string& uniqueID);

} // namespace platform::hidraw
