// Application preferences: values of property-list types stored by key for
// each application identifier.
//
// On Linux an application's preferences are one XML property list,
// "<applicationID>.plist" in $XDG_CONFIG_HOME (or ~/.config), read the first
// time the application's preferences are used. Values set stay in this process
// until CFPreferencesAppSynchronize writes them; the file is only ever replaced
// whole, so a crash or a full disk never leaves a part of it. An identifier that
// cannot name a file there (one holding '/', for example) keeps its preferences
// in memory only. A key or identifier that is not a string is ignored. Any thread.
#pragma once

#include <CoreFoundation/CFBase.h>

// The application that calls: its main bundle's identifier, or the executable's name.
extern const CFStringRef kCFPreferencesCurrentApplication;

// The value of key in the preferences of applicationID. Caller releases; null
// when the key has no value.
//
// "AppleLanguages", unless the application stored its own, is the user's preferred
// languages, most preferred first, as an array of strings, read from the environment
// as gettext reads it: when the locale for messages (the first non-empty of LC_ALL,
// LC_MESSAGES and LANG) is set and is not "C" or "POSIX", the colon-separated entries
// of LANGUAGE, then that locale. Each entry loses its codeset and modifier
// ("de_DE.UTF-8@euro" gives "de_DE"); a Chinese locale whose region implies its script
// gains it the way the languages are named on other systems ("zh_TW" gives
// "zh-Hant_TW", "zh_CN" "zh-Hans_CN"). Empty, "C" and "POSIX" entries and repeats are
// left out; null when none is left.
CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);

// Sets the value of key (retained, not copied), or removes the key when value is
// null. A key or value that a property list cannot hold (see the writer's
// limits: no other types, no control characters in strings, nesting at most 100
// deep) is ignored.
void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID);

// Writes the application's changes to its file, when there are any, and takes
// in what other processes wrote there meanwhile. False when the preferences have
// no file, or it is there but cannot be read (it is then left as it was), or it
// cannot be written; the changes then stay for the next call.
Boolean CFPreferencesAppSynchronize(CFStringRef applicationID);
