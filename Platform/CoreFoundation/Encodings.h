// Conversions between the layer's UTF-8 text and the string encodings it supports.
#pragma once

#include <CoreFoundation/CFString.h>

#include <string>
#include <string_view>

namespace platform::encodings
{

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUTF8(std::string_view bytes);
bool isASCII(std::string_view bytes);
// UTF-16 code units of valid UTF-8 text.
CFIndex utf16Length(std::string_view utf8);

// Valid UTF-8 from bytes in encoding; false for bytes invalid there or an unsupported encoding.
bool decode(const UInt8* bytes, size_t count, CFStringEncoding encoding, bool externalRepresentation,
            std::string& utf8);
// Bytes of valid UTF-8 text in a byte encoding (UTF-8, ASCII, Latin-1, Mac Roman);
// false when a character has no form there or the encoding is not one of those.
bool encode(std::string_view utf8, CFStringEncoding encoding, std::string& bytes);
// Bytes that one UTF-16 code unit can need in encoding, or 0 when it is unsupported.
CFIndex maximumBytesPerUnit(CFStringEncoding encoding);
// True for encodings whose ASCII characters are their own bytes.
bool extendsASCII(CFStringEncoding encoding);

std::u16string toUTF16(std::string_view utf8);
// False for unpaired surrogates.
bool fromUTF16(const UniChar* units, size_t count, std::string& utf8);

} // namespace platform::encodings
