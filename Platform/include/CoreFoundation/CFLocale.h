// Locale identifiers.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef CFStringRef CFLocaleIdentifier;

// The canonical form of a locale identifier written the way users and systems
// write them ("de-DE", "de_DE.UTF-8", "pt-br", "zh-Hant-TW"): the language in
// lower case, then "-" and the script in title case, then "_" and the region in
// upper case, then "_" and any variants in upper case ("de_DE", "pt_BR",
// "zh-Hant_TW"). A codeset or modifier (".UTF-8", "@euro") and any extension from
// a one-letter subtag on are dropped. Caller releases; null when the string does
// not start with a language of 2 to 8 letters or holds characters other than
// ASCII letters, digits, '-' and '_' before its codeset. Any thread.
CFLocaleIdentifier CFLocaleCreateCanonicalLocaleIdentifierFromString(CFAllocatorRef allocator,
                                                                     CFStringRef localeIdentifier);
