// The XML form of a property list, as CFPropertyListCreateFromXMLData reads it back.
#pragma once

#include <CoreFoundation/CFBase.h>

#include <optional>
#include <string>

namespace platform::plist
{

// A UTF-8 document "<plist version="1.0">" around the value, or nothing when the
// value cannot be written so that it reads back the same: a type other than
// dictionary (with string keys), array, string, number, boolean, data and date;
// a string holding a character XML cannot carry (control characters other than
// tab, line feed and carriage return); a date outside the years 0 to 9999; or
// containers nested more than 100 deep (a container that holds itself too).
// Dates keep whole seconds only. May throw std::bad_alloc.
std::optional<std::string> writeXML(CFPropertyListRef value);

} // namespace platform::plist
