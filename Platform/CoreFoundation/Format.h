// printf-style formatting in which %@ stands for a CF object's description.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace platform
{

// Appends format with its arguments to out. False for what the layer does not
// format (%n, positional arguments, unknown conversions or modifiers) and for a
// result that is not valid UTF-8; out is unspecified then.
bool formatText(std::string_view format, va_list arguments, std::string& out);

} // namespace platform
