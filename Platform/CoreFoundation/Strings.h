// The string family's services to the other families of the layer.
#pragma once

#include <CoreFoundation/CFString.h>

#include <string>

namespace platform
{

// A new immutable string of valid UTF-8 text, for the caller to release. May throw std::bad_alloc.
CFStringRef createString(std::string utf8);
// The UTF-8 text of a string; anything but a string stops the program.
const std::string& textOf(CFStringRef string);

} // namespace platform
