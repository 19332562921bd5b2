// Immutable and mutable Unicode strings.
//
// A string holds its text as UTF-8; lengths and indices count UTF-16 code units,
// so a character outside the Basic Multilingual Plane counts 2. Supported
// encodings: UTF-8, ASCII, ISO Latin-1, Mac Roman and, for reading bytes only,
// UTF-16 (host order, or with a byte-order mark) and UTF-16BE/LE.
// Case-insensitive comparison folds ASCII letters only.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>

#include <cstdarg>

typedef UInt32 CFStringEncoding;

enum : CFStringEncoding
{
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingUnicode = 0x0100,
    kCFStringEncodingUTF16 = 0x0100,
    kCFStringEncodingISOLatin1 = 0x0201,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100,
    kCFStringEncodingUTF16BE = 0x10000100,
    kCFStringEncodingUTF16LE = 0x14000100,
    kCFStringEncodingInvalidId = 0xffffffffU
};

typedef CFOptionFlags CFStringCompareFlags;

enum : CFStringCompareFlags
{
    kCFCompareCaseInsensitive = 1
};

// A constant string for a literal: one object per distinct text for the life of
// the process; retaining and releasing it is harmless. The literal must be UTF-8.
#define CFSTR(literal) CFStringMakeConstantString("" literal "")
CFStringRef CFStringMakeConstantString(const char* utf8Literal);

CFTypeID CFStringGetTypeID(void);

// Creators: the caller releases the result. Null when the bytes are not valid in
// the encoding (ASCII rejects bytes of 0x80 and above, UTF-8 rejects malformed
// sequences), for an unsupported encoding, or when out of memory.
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* cStr, CFStringEncoding encoding);
// isExternalRepresentation lets UTF-16 bytes start with a byte-order mark, which is dropped.
CFStringRef CFStringCreateWithBytes(CFAllocatorRef allocator, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation);
// From UTF-16 code units; unpaired surrogates make it fail.
CFStringRef CFStringCreateWithCharacters(CFAllocatorRef allocator, const UniChar* chars, CFIndex numChars);
// An immutable string with the same text (the same object when theString is immutable).
CFStringRef CFStringCreateCopy(CFAllocatorRef allocator, CFStringRef theString);
// printf-style formatting in which %@ stands for CFCopyDescription of a CF object
// ("(null)" for null). Supports the C conversions d i o u x X c s p e E f F g G a A
// and %% with flags, widths, precisions (also *) and the hh h l ll q j z t L modifiers;
// %s takes UTF-8. Null for %n, positional arguments, an unknown conversion or text
// that is not UTF-8. formatOptions is ignored.
CFStringRef CFStringCreateWithFormat(CFAllocatorRef allocator, CFDictionaryRef formatOptions, CFStringRef format, ...);
CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef allocator, CFDictionaryRef formatOptions,
                                                 CFStringRef format, va_list arguments);

// Mutable strings: an empty string that grows; maxLength is ignored. Caller releases.
CFMutableStringRef CFStringCreateMutable(CFAllocatorRef allocator, CFIndex maxLength);
CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef allocator, CFIndex maxLength, CFStringRef theString);
void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString);
// Appends cStr decoded from encoding; appends nothing when it is not valid there.
void CFStringAppendCString(CFMutableStringRef theString, const char* cStr, CFStringEncoding encoding);

// Length in UTF-16 code units.
CFIndex CFStringGetLength(CFStringRef theString);
// The UTF-16 code unit at index; an index outside the string stops the program.
UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex index);
// Copies the UTF-16 code units of range into buffer; a range outside the string stops the program.
void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer);

// Writes the text and a terminating NUL into buffer in encoding. False when text
// and NUL need more than bufferSize bytes or a character has no form in the
// encoding; the buffer then holds the empty string (if bufferSize is at least 1).
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
// The NUL-terminated text in encoding without copying, or null when that is not
// possible: the UTF-8 text for UTF-8, and for ASCII, Latin-1 and Mac Roman when the
// text is all ASCII. Valid until the string is changed or released.
const char* CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding);
// The most bytes length UTF-16 code units can take in encoding (without a NUL),
// or kCFNotFound for an unsupported encoding or a length that overflows.
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);

// Orders by Unicode code point; kCFCompareCaseInsensitive folds ASCII letters.
// Other flags are ignored.
CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2, CFStringCompareFlags compareOptions);
// False for an empty prefix or suffix.
Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix);
Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix);
