// Where an application's stored preferences live on Linux, and how that file
// is read and replaced.
//
// Each application identifier has one XML property list, a dictionary, named
// "<identifier>.plist" in the user's configuration directory ($XDG_CONFIG_HOME,
// or ~/.config when that is unset or not absolute).
#pragma once

#include "IOKit/Retained.h"

#include <CoreFoundation/CFDictionary.h>

#include <optional>
#include <string>

namespace platform::preferences
{

// The file of an application identifier, or nothing when the identifier cannot
// name a file of that directory (empty, ".", "..", holding '/' or a zero byte,
// longer than 242 bytes) or no home directory can be found.
std::optional<std::string> fileFor(const std::string& applicationID);

// A preferences file as it was read.
struct PreferencesFile
{
    // Its dictionary; an empty one when the file is missing or holds no
    // dictionary. Null when it is there but cannot be read whole (no permission, a
    // read error, larger than 16 MiB, not a regular file): taken as empty, its keys
    // would be lost by the next write.
    Retained<CFMutableDictionaryRef> preferences;
    // The file's bytes when it is there but holds no dictionary (a typo of a hand
    // edit, a value this reader refuses), for keepUnparseable before a write.
    std::optional<std::string> unparseable;
};

// May throw std::bad_alloc.
PreferencesFile readPreferences(const std::string& path);

// Keeps the bytes of a file that holds no dictionary beside it, as
// "<file>.unreadable", or "<file>.unreadable.<n>" when that name is taken: a copy
// kept earlier is never overwritten. Says on the standard error stream where they
// went. False when no copy can be made; the file must then stay as it is.
bool keepUnparseable(const std::string& path, const std::string& contents);

// Replaces the file with the dictionary's XML form, making its directory when
// missing. The file is written beside the old one, flushed to the disk and
// renamed over it, so that a crash or a full disk leaves the old file or the
// new one, never a part. False when the dictionary cannot be written or the
// file system refuses; the old file is then untouched. May throw std::bad_alloc.
bool writePreferences(const std::string& path, CFDictionaryRef preferences);

} // namespace platform::preferences
