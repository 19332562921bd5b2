#include "CoreFoundation/Encodings.h"

#include <algorithm>
#include <array>

namespace platform::encodings
{

namespace
{
// Unicode code points of Mac Roman's bytes 0x80 to 0xFF.
constexpr std::array<char16_t, 128> macRomanHighHalf {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

constexpr char32_t byteOrderMark = 0xFEFF;

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

size_t sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Decodes the code point at pos and moves past it; false for a malformed sequence.
bool nextCodePoint(std::string_view text, size_t& pos, char32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    const size_t length = sequenceLength(lead);
    if (length == 0 || text.size() - pos < length)
        return false;
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i)
    {
        const auto continuation = static_cast<unsigned char>(text[pos + i]);
        if ((continuation & 0xC0) != 0x80)
            return false;
        value = (value << 6) | (continuation & 0x3F);
    }
    static constexpr char32_t smallestOfLength[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (value < smallestOfLength[length] || value > 0x10FFFF || isSurrogate(value))
        return false;
    pos += length;
    codePoint = value;
    return true;
}

void appendUTF8(std::string& out, char32_t c)
{
    if (c < 0x80)
    {
        out += static_cast<char>(c);
        return;
    }
    if (c < 0x800)
    {
        out += static_cast<char>(0xC0 | (c >> 6));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (c & 0x3F));
}

// Calls visit(codePoint) for every code point of valid UTF-8 text until it returns false.
template <typename Visitor>
bool forEachCodePoint(std::string_view utf8, Visitor&& visit)
{
    char32_t c = 0;
    for (size_t pos = 0; pos < utf8.size();)
        if (!nextCodePoint(utf8, pos, c) || !visit(c))
            return false;
    return true;
}

char32_t fromByte(unsigned char byte, CFStringEncoding encoding)
{
    if (encoding == kCFStringEncodingMacRoman && byte >= 0x80)
        return macRomanHighHalf[byte - 0x80];
    return byte;
}

// The byte of c in a single-byte encoding, or -1 when c has none.
int toByte(char32_t c, CFStringEncoding encoding)
{
    if (c < 0x80)
        return static_cast<int>(c);
    if (encoding == kCFStringEncodingISOLatin1)
        return c < 0x100 ? static_cast<int>(c) : -1;
    if (encoding == kCFStringEncodingMacRoman)
    {
        const auto found = std::find(macRomanHighHalf.begin(), macRomanHighHalf.end(), c);
        return found == macRomanHighHalf.end() ? -1 : 0x80 + static_cast<int>(found - macRomanHighHalf.begin());
    }
    return -1;
}

bool isSingleByte(CFStringEncoding encoding)
{
    return encoding == kCFStringEncodingASCII || encoding == kCFStringEncodingISOLatin1
           || encoding == kCFStringEncodingMacRoman;
}

bool decodeSingleBytes(const UInt8* bytes, size_t count, CFStringEncoding encoding, std::string& utf8)
{
    for (size_t i = 0; i < count; ++i)
    {
        if (encoding == kCFStringEncodingASCII && bytes[i] >= 0x80)
            return false;
        appendUTF8(utf8, fromByte(bytes[i], encoding));
    }
    return true;
}

bool decodeUTF16(const UInt8* bytes, size_t count, CFStringEncoding encoding, bool externalRepresentation,
                 std::string& utf8)
{
    if (count % 2 != 0)
        return false;
    std::u16string units(count / 2, u'\0');
    const bool hostIsBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
    const bool bigEndian = encoding == kCFStringEncodingUTF16BE
                           || (encoding == kCFStringEncodingUTF16 && hostIsBigEndian);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(bigEndian ? bytes[2 * i] << 8 | bytes[2 * i + 1]
                                                   : bytes[2 * i + 1] << 8 | bytes[2 * i]);
    if (encoding == kCFStringEncodingUTF16 && externalRepresentation && !units.empty())
    {
        if (units[0] == 0xFFFE) // the mark read in the other byte order
            for (auto& unit : units)
                unit = static_cast<char16_t>(unit << 8 | unit >> 8);
        if (units[0] == byteOrderMark)
            units.erase(0, 1);
    }
    return fromUTF16(reinterpret_cast<const UniChar*>(units.data()), units.size(), utf8);
}
} // namespace

bool isValidUTF8(std::string_view bytes)
{
    return forEachCodePoint(bytes, [](char32_t) { return true; });
}

bool isASCII(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

CFIndex utf16Length(std::string_view utf8)
{
    CFIndex units = 0;
    forEachCodePoint(utf8, [&units](char32_t c) {
        units += c >= 0x10000 ? 2 : 1;
        return true;
    });
    return units;
}

bool decode(const UInt8* bytes, size_t count, CFStringEncoding encoding, bool externalRepresentation,
            std::string& utf8)
{
    utf8.clear();
    if (encoding == kCFStringEncodingUTF8)
    {
        utf8.assign(reinterpret_cast<const char*>(bytes), count);
        return isValidUTF8(utf8);
    }
    if (isSingleByte(encoding))
        return decodeSingleBytes(bytes, count, encoding, utf8);
    if (encoding == kCFStringEncodingUTF16 || encoding == kCFStringEncodingUTF16BE
        || encoding == kCFStringEncodingUTF16LE)
        return decodeUTF16(bytes, count, encoding, externalRepresentation, utf8);
    return false;
}

bool encode(std::string_view utf8, CFStringEncoding encoding, std::string& bytes)
{
    bytes.clear();
    if (encoding == kCFStringEncodingUTF8)
    {
        bytes.assign(utf8);
        return true;
    }
    if (!isSingleByte(encoding))
        return false;
    return forEachCodePoint(utf8, [&](char32_t c) {
        const int byte = toByte(c, encoding);
        if (byte >= 0)
            bytes += static_cast<char>(byte);
        return byte >= 0;
    });
}

CFIndex maximumBytesPerUnit(CFStringEncoding encoding)
{
    if (encoding == kCFStringEncodingUTF8)
        return 3; // a surrogate pair, two units, takes four bytes
    if (isSingleByte(encoding))
        return 1;
    if (encoding == kCFStringEncodingUTF16 || encoding == kCFStringEncodingUTF16BE
        || encoding == kCFStringEncodingUTF16LE)
        return 2;
    return 0;
}

bool extendsASCII(CFStringEncoding encoding)
{
    return encoding == kCFStringEncodingUTF8 || isSingleByte(encoding);
}

std::u16string toUTF16(std::string_view utf8)
{
    std::u16string units;
    forEachCodePoint(utf8, [&units](char32_t c) {
        if (c >= 0x10000)
        {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        else
        {
            units += static_cast<char16_t>(c);
        }
        return true;
    });
    return units;
}

bool fromUTF16(const UniChar* units, size_t count, std::string& utf8)
{
    for (size_t i = 0; i < count; ++i)
    {
        char32_t c = units[i];
        if (c >= 0xDC00 && c <= 0xDFFF)
            return false;
        if (c >= 0xD800 && c <= 0xDBFF)
        {
            if (i + 1 == count || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        }
        appendUTF8(utf8, c);
    }
    return true;
}

} // namespace platform::encodings
