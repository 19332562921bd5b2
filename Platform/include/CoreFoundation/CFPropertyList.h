// Property lists: trees of dictionaries, arrays, strings, numbers, booleans,
// data and dates, read from their XML form.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDate.h>

typedef CFOptionFlags CFPropertyListMutabilityOptions;

enum : CFPropertyListMutabilityOptions
{
    kCFPropertyListImmutable = 0,
    // Dictionaries and arrays come out mutable.
    kCFPropertyListMutableContainers = 1,
    // Strings too (data and the other leaves stay immutable).
    kCFPropertyListMutableContainersAndLeaves = 2
};

// Parses an XML property list ("<plist version="1.0">" around one value, or the
// value alone): dict (a <key> before each value), array, string, integer
// (decimal or 0x hexadecimal, signed 64-bit), real, true, false, data (base64)
// and date (YYYY-MM-DDTHH:MM:SSZ, UTC). Caller releases the result. Null for
// anything else: malformed XML, an unknown element, an entity reference, text
// where a value is expected, an out-of-range number. Then, when errorString is
// not null, *errorString receives a new description of the fault, which the
// caller releases (on success it becomes null). No DTD or other file is ever
// loaded, and nothing is printed. Any thread.
CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef allocator, CFDataRef xmlData,
                                                  CFOptionFlags mutabilityOption, CFStringRef* errorString);
