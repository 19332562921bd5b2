// Application preferences.
#pragma once

#include <CoreFoundation/CFBase.h>

// The application that calls.
extern const CFStringRef kCFPreferencesCurrentApplication;

// The value of key in the preferences of applicationID. Caller releases; null
// when the key has no value. Any thread.
//
// "AppleLanguages" is the user's preferred languages, most preferred first, as an
// array of strings, read from the environment as gettext reads it: when the locale
// for messages (the first non-empty of LC_ALL, LC_MESSAGES and LANG) is set and is
// not "C" or "POSIX", the colon-separated entries of LANGUAGE, then that locale.
// Each entry loses its codeset and modifier ("de_DE.UTF-8@euro" gives "de_DE");
// a Chinese locale whose region implies its script gains it the way the languages
// are named on other systems ("zh_TW" gives "zh-Hant_TW", "zh_CN" "zh-Hans_CN").
// Empty, "C" and "POSIX" entries and repeats are left out; null when none is left.
CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);
