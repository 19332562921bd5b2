// What the USB configuration descriptors tell about a HID interface that the
// hidraw node does not: the HID class descriptor's country code.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace platform::hidraw
{

// Walks the raw descriptors of a usb_device (its sysfs "descriptors" file) to
// the HID descriptor of the interface with this number, first alternate
// setting, and returns its bCountryCode. Nothing when the descriptors end,
// break off or do not have it.
std::optional<uint32_t> hidCountryCode(const std::vector<uint8_t>& descriptors, uint32_t interfaceNumber);

} // namespace platform::hidraw
