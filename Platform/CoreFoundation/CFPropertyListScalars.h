// The text forms of a property list's scalar values.
#pragma once

#include <CoreFoundation/CFBase.h>

#include <optional>
#include <string>
#include <string_view>

namespace platform::plist
{

// Optional sign, then decimal digits or "0x" and hexadecimal ones; the value
// must fit a signed 64-bit integer. Blanks around the number are allowed.
std::optional<int64_t> parseInteger(std::string_view text);
// A decimal or exponent form, "inf", "infinity" or "nan" (any case), independent of the locale.
std::optional<double> parseReal(std::string_view text);
// Standard base64 with '=' padding; blanks and line ends anywhere are skipped.
std::optional<std::string> decodeBase64(std::string_view text);
// "YYYY-MM-DDTHH:MM:SSZ" as seconds of absolute time (from 2001-01-01 UTC).
std::optional<CFAbsoluteTime> parseDate(std::string_view text);

} // namespace platform::plist
