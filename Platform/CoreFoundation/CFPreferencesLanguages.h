// The user's preferred languages, read from the environment as gettext reads it.
#pragma once

#include <CoreFoundation/CFBase.h>

namespace platform::preferences
{

// "AppleLanguages" as the system answers it: see CFPreferencesCopyAppValue.
// A new array of strings, or null when no language is set. May throw std::bad_alloc.
CFPropertyListRef copyPreferredLanguages();

} // namespace platform::preferences
