// The stored preferences of every application identifier the process has used.
//
// A domain reads its file the first time it is asked, then answers from memory.
// Values set are kept as changes until a synchronisation writes them: it reads
// the file again (taking in what other processes wrote), puts the changes on top
// and writes the result. Any thread: one lock guards every domain.
#pragma once

#include "IOKit/Retained.h"

#include <CoreFoundation/CFString.h>

#include <string>

namespace platform::preferences
{

// The value of key in the application's preferences, or null. May throw std::bad_alloc.
Retained<CFPropertyListRef> copyValue(const std::string& applicationID, CFStringRef key);
// Sets the value (null removes the key) until the application synchronises.
// A key or value that cannot be written to a property-list file is ignored, so
// that it can never make the whole file fail. May throw std::bad_alloc.
void setValue(const std::string& applicationID, CFStringRef key, CFPropertyListRef value);
// Writes the application's changes, when it has any, and reads in what others
// wrote. False when the application's preferences have no file, or it is there
// but cannot be read, or it cannot be written; the file is then left as it was
// and the changes are kept for the next try. A file that holds no dictionary is
// written over only once a copy of it is kept beside it. May throw std::bad_alloc.
bool synchronize(const std::string& applicationID);

} // namespace platform::preferences
