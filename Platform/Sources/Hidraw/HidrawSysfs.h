// Reading what sysfs and udev hand out as text or raw bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::hidraw
{

// The whole file, for binary attributes such as report_descriptor: libudev's
// sysattr reader stops at the first zero byte. Empty when it cannot be read.
std::vector<uint8_t> readBinaryFile(const std::string& path);

// The number a whole string spells in the given base; nothing for null, empty,
// trailing garbage or a value above 32 bits.
std::optional<uint32_t> parseUnsigned(const char* text, int base);

// The text itself, or nothing when it is null or empty: sysfs leaves absent
// strings empty rather than missing.
std::optional<std::string> nonEmpty(const char* text);

} // namespace platform::hidraw
