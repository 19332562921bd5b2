#include "CoreFoundation/PropertyListWriter.h"

#include "CoreFoundation/Strings.h"

#include <CoreFoundation/CoreFoundation.h>

#include <libxml/tree.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace platform::plist
{

namespace
{
// Deeper documents than libxml2 parses by default (256) can never be read back;
// this leaves room below that.
constexpr int maximumDepth = 100;

struct DocumentDeleter
{
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using Document = std::unique_ptr<xmlDoc, DocumentDeleter>;

const xmlChar* xml(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

xmlNode* checked(xmlNode* node)
{
    if (node == nullptr)
        throw std::bad_alloc();
    return node;
}

// The characters of XML 1.0; anything else would make the document unreadable.
bool isXMLCharacter(uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
           || (c >= 0x10000 && c <= 0x10FFFF);
}

// Strings hold valid UTF-8, so only the code points need checking.
bool holdsOnlyXMLCharacters(const std::string& utf8)
{
    for (size_t i = 0; i < utf8.size();)
    {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        if (!isXMLCharacter(c))
            return false;
        i += length;
    }
    return true;
}

std::string encodeBase64(const UInt8* bytes, size_t length)
{
    static const char symbols[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < length; i += 3)
    {
        const size_t count = std::min<size_t>(3, length - i);
        uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
        if (count > 1)
            group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        if (count > 2)
            group |= bytes[i + 2];
        for (size_t k = 0; k < 4; ++k)
            text += k <= count ? symbols[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return text;
}

// The day of the proleptic Gregorian calendar that lies days after 1970-01-01.
void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

std::optional<std::string> formatDate(CFAbsoluteTime time)
{
    const double unixSeconds = std::floor(time + kCFAbsoluteTimeIntervalSince1970);
    // Beyond the years 0..9999 by a wide margin, and safe to convert.
    if (!(std::fabs(unixSeconds) < 1e12))
        return std::nullopt;
    const auto seconds = static_cast<int64_t>(unixSeconds);
    const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const int64_t secondOfDay = seconds - days * 86400;
    int64_t year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days, year, month, day);
    if (year < 0 || year > 9999)
        return std::nullopt;
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(year), month, day,
                  static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                  static_cast<int>(secondOfDay % 60));
    return std::string(text);
}

// The shortest text that reads back as the same double, whatever the C locale says.
std::string formatReal(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string formatNumber(CFNumberRef number)
{
    if (CFNumberIsFloatType(number))
    {
        double value = 0;
        CFNumberGetValue(number, kCFNumberFloat64Type, &value);
        return formatReal(value);
    }
    int64_t value = 0;
    CFNumberGetValue(number, kCFNumberSInt64Type, &value);
    return std::to_string(value);
}

class Writer
{
public:
    bool add(xmlNode* parent, CFTypeRef value, int depth)
    {
        if (value == nullptr || depth > maximumDepth)
            return false;
        const CFTypeID type = CFGetTypeID(value);
        if (type == CFDictionaryGetTypeID())
            return addDictionary(parent, static_cast<CFDictionaryRef>(value), depth);
        if (type == CFArrayGetTypeID())
            return addArray(parent, static_cast<CFArrayRef>(value), depth);
        if (type == CFStringGetTypeID())
            return addString(parent, "string", static_cast<CFStringRef>(value));
        if (type == CFBooleanGetTypeID())
            return addLeaf(parent, CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? "true" : "false", nullptr);
        if (type == CFNumberGetTypeID())
        {
            const auto number = static_cast<CFNumberRef>(value);
            return addLeaf(parent, CFNumberIsFloatType(number) ? "real" : "integer", formatNumber(number).c_str());
        }
        if (type == CFDataGetTypeID())
        {
            const auto data = static_cast<CFDataRef>(value);
            const auto text = encodeBase64(CFDataGetBytePtr(data), static_cast<size_t>(CFDataGetLength(data)));
            return addLeaf(parent, "data", text.c_str());
        }
        if (type == CFDateGetTypeID())
        {
            const auto text = formatDate(CFDateGetAbsoluteTime(static_cast<CFDateRef>(value)));
            return text && addLeaf(parent, "date", text->c_str());
        }
        return false;
    }

private:
    bool addDictionary(xmlNode* parent, CFDictionaryRef dictionary, int depth)
    {
        const auto count = static_cast<size_t>(CFDictionaryGetCount(dictionary));
        std::vector<const void*> keys(count), values(count);
        CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
        std::vector<std::pair<CFStringRef, CFTypeRef>> entries;
        for (size_t i = 0; i < count; ++i)
        {
            if (keys[i] == nullptr || CFGetTypeID(keys[i]) != CFStringGetTypeID())
                return false;
            entries.emplace_back(static_cast<CFStringRef>(keys[i]), values[i]);
        }
        // Sorted, so that the same preferences always make the same file.
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return textOf(a.first) < textOf(b.first); });

        xmlNode* node = checked(xmlNewChild(parent, nullptr, xml("dict"), nullptr));
        for (const auto& [key, value] : entries)
            if (!addString(node, "key", key) || !add(node, value, depth + 1))
                return false;
        return true;
    }

    bool addArray(xmlNode* parent, CFArrayRef array, int depth)
    {
        xmlNode* node = checked(xmlNewChild(parent, nullptr, xml("array"), nullptr));
        for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
            if (!add(node, CFArrayGetValueAtIndex(array, i), depth + 1))
                return false;
        return true;
    }

    bool addString(xmlNode* parent, const char* name, CFStringRef string)
    {
        const auto& text = textOf(string);
        return holdsOnlyXMLCharacters(text) && addLeaf(parent, name, text.c_str());
    }

    // The text is escaped as it goes in (&, <, > and carriage returns).
    bool addLeaf(xmlNode* parent, const char* name, const char* text)
    {
        checked(xmlNewTextChild(parent, nullptr, xml(name), text != nullptr ? xml(text) : nullptr));
        return true;
    }
};

std::string dump(xmlDoc* document)
{
    xmlChar* bytes = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(document, &bytes, &size, "UTF-8", 1);
    if (bytes == nullptr)
        throw std::bad_alloc();
    std::string text(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
    xmlFree(bytes);
    return text;
}
} // namespace

std::optional<std::string> writeXML(CFPropertyListRef value)
{
    Document document(xmlNewDoc(xml("1.0")));
    if (document == nullptr)
        throw std::bad_alloc();
    xmlNode* root = checked(xmlNewDocNode(document.get(), nullptr, xml("plist"), nullptr));
    xmlDocSetRootElement(document.get(), root);
    if (xmlNewProp(root, xml("version"), xml("1.0")) == nullptr)
        throw std::bad_alloc();
    if (!Writer().add(root, value, 1))
        return std::nullopt;
    return dump(document.get());
}

} // namespace platform::plist
