// What udev and sysfs tell about one hidraw node, before it becomes a device
// of the HID manager. Each value is missing when the system does not give it.
#pragma once

#include <libudev.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::hidraw
{

struct DeviceInfo
{
    std::string syspath;
    std::string devnode;

    std::optional<uint32_t> vendorID;
    std::optional<uint32_t> productID;
    std::optional<uint32_t> versionNumber;
    std::optional<uint32_t> countryCode;
    std::optional<uint32_t> locationID;
    std::optional<std::string> transport;
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
    std::optional<std::string> serialNumber;

    // Empty when the descriptor cannot be read.
    std::vector<uint8_t> reportDescriptor;
};

// Reads the node's hid parent and, for USB, its interface and usb_device
// ancestors. Nothing for a hidraw device without a node or without a hid parent.
std::optional<DeviceInfo> readDeviceInfo(udev_device* hidraw);

} // namespace platform::hidraw
