#include "CoreFoundation/CFPropertyListScalars.h"

#include <CoreFoundation/CFDate.h>

#include <charconv>
#include <cstdint>
#include <limits>

namespace platform::plist
{

namespace
{
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Takes a leading '+' or '-' off text; true for '-'.
bool takeSign(std::string_view& text)
{
    if (text.empty() || (text.front() != '+' && text.front() != '-'))
        return false;
    const bool negative = text.front() == '-';
    text.remove_prefix(1);
    return negative;
}

bool startsWithHexPrefix(std::string_view text)
{
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

template <typename Integer>
bool parseWhole(std::string_view text, Integer& value, int base = 10)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, base);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool parseWhole(std::string_view text, double& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

unsigned daysInMonth(int64_t year, unsigned month)
{
    static const unsigned days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

std::optional<unsigned> digitsAt(std::string_view text, size_t position, size_t count)
{
    unsigned value = 0;
    if (!parseWhole(text.substr(position, count), value))
        return std::nullopt;
    return value;
}
} // namespace

std::optional<int64_t> parseInteger(std::string_view text)
{
    text = trimmed(text);
    const bool negative = takeSign(text);
    const bool hex = startsWithHexPrefix(text);
    uint64_t magnitude = 0;
    if (!parseWhole(hex ? text.substr(2) : text, magnitude, hex ? 16 : 10))
        return std::nullopt;

    const auto largest = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (!negative)
        return magnitude <= largest ? std::optional<int64_t>(static_cast<int64_t>(magnitude)) : std::nullopt;
    if (magnitude > largest + 1)
        return std::nullopt;
    return static_cast<int64_t>(0 - magnitude);
}

std::optional<double> parseReal(std::string_view text)
{
    text = trimmed(text);
    const bool negative = takeSign(text);
    double value = 0;
    // A second sign would slip through from_chars as the number's own.
    if (text.empty() || text.front() == '-' || !parseWhole(text, value))
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<std::string> decodeBase64(std::string_view text)
{
    std::string bytes;
    uint32_t bits = 0;
    int bitCount = 0;
    size_t symbols = 0;
    size_t padding = 0;
    for (const char c : text)
    {
        if (isBlank(c))
            continue;
        if (c == '=')
        {
            ++padding;
            continue;
        }
        const int value = base64Value(c);
        if (value < 0 || padding > 0)
            return std::nullopt;
        ++symbols;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        bitCount += 6;
        if (bitCount >= 8)
        {
            bitCount -= 8;
            bytes += static_cast<char>((bits >> bitCount) & 0xFF);
        }
    }
    // A lone symbol at the end carries fewer than 8 bits: no byte can end there.
    if (symbols % 4 == 1 || padding > 2)
        return std::nullopt;
    return bytes;
}

std::optional<CFAbsoluteTime> parseDate(std::string_view text)
{
    text = trimmed(text);
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':'
        || text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const auto year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2), day = digitsAt(text, 8, 2);
    const auto hour = digitsAt(text, 11, 2), minute = digitsAt(text, 14, 2), second = digitsAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 || *minute > 59
        || *second > 59)
        return std::nullopt;

    const int64_t days = daysFromCivil(*year, *month, *day);
    const int64_t seconds = days * 86400 + *hour * 3600 + *minute * 60 + *second;
    return static_cast<double>(seconds) - kCFAbsoluteTimeIntervalSince1970;
}

} // namespace platform::plist
