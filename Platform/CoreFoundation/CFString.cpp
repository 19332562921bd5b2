#include <CoreFoundation/CFString.h>

#include "CoreFoundation/Encodings.h"
#include "CoreFoundation/Format.h"
#include "CoreFoundation/Object.h"
#include "CoreFoundation/Strings.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <unordered_map>

using platform::Lifetime;
using platform::noThrow;
namespace encodings = platform::encodings;

struct CFStringObject final : platform::Object
{
    CFStringObject(std::string utf8, bool isMutableString, Lifetime life = Lifetime::counted)
        : Object(typeID(), life), text(std::move(utf8)), utf16Units(encodings::utf16Length(text)),
          isMutable(isMutableString)
    {
    }

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFString");
        return id;
    }

    bool equals(const Object& other) const override { return text == static_cast<const CFStringObject&>(other).text; }
    CFHashCode hash() const override { return std::hash<std::string> {}(text); }
    std::string describe() const override { return text; }

    void append(const std::string& utf8)
    {
        text += utf8;
        utf16Units += encodings::utf16Length(utf8);
    }

    std::string text;
    CFIndex utf16Units;
    const bool isMutable;
};

namespace
{
const CFStringObject& stringOf(CFStringRef string, const char* function)
{
    return platform::checkedCast<CFStringObject>(string, function);
}

CFStringObject& mutableStringOf(CFMutableStringRef string, const char* function)
{
    auto& object = platform::checkedCast<CFStringObject>(string, function);
    if (!object.isMutable)
        platform::fatal(function, "the string is immutable");
    return object;
}

CFStringRef createDecoded(const UInt8* bytes, size_t count, CFStringEncoding encoding, bool external)
{
    std::string utf8;
    if (!encodings::decode(bytes, count, encoding, external, utf8))
        return nullptr;
    return platform::createString(std::move(utf8));
}

// Constant strings are never freed, so neither is the table that finds them again.
struct ConstantTable
{
    std::mutex lock;
    std::unordered_map<std::string, CFStringObject*> strings;
};

ConstantTable& constants()
{
    static auto* table = new ConstantTable;
    return *table;
}

CFStringObject* findOrAddConstant(const char* literal)
{
    auto& table = constants();
    std::lock_guard<std::mutex> guard(table.lock);
    auto& constant = table.strings[literal];
    if (constant == nullptr)
        constant = new CFStringObject(literal, false, Lifetime::permanent);
    return constant;
}

void checkRange(const CFStringObject& string, CFRange range, const char* function)
{
    if (range.location < 0 || range.length < 0 || range.location > string.utf16Units
        || range.length > string.utf16Units - range.location)
        platform::fatal(function, "range outside the string");
}

int foldedASCII(char c, bool caseInsensitive)
{
    const auto byte = static_cast<unsigned char>(c);
    return caseInsensitive && byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte;
}

// Byte order of UTF-8 is code point order.
int compareText(const std::string& first, const std::string& second, bool caseInsensitive)
{
    const size_t common = std::min(first.size(), second.size());
    for (size_t i = 0; i < common; ++i)
        if (const int difference = foldedASCII(first[i], caseInsensitive) - foldedASCII(second[i], caseInsensitive))
            return difference;
    return first.size() < second.size() ? -1 : first.size() > second.size() ? 1 : 0;
}
} // namespace

namespace platform
{
CFStringRef createString(std::string utf8)
{
    return toRef<CFStringRef>(new CFStringObject(std::move(utf8), false));
}

const std::string& textOf(CFStringRef string)
{
    return stringOf(string, "textOf").text;
}
} // namespace platform

CFStringRef CFStringMakeConstantString(const char* utf8Literal)
{
    if (utf8Literal == nullptr || !encodings::isValidUTF8(utf8Literal))
        platform::fatal("CFSTR", "the literal is not UTF-8");
    CFStringObject* constant = nullptr;
    platform::noThrowOrStop("CFSTR", [&] { constant = findOrAddConstant(utf8Literal); });
    return platform::toRef<CFStringRef>(constant);
}

CFTypeID CFStringGetTypeID(void)
{
    return CFStringObject::typeID();
}

//==============================================================================
CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding)
{
    if (cStr == nullptr)
        return nullptr;
    return noThrow<CFStringRef>(nullptr, [&] {
        return createDecoded(reinterpret_cast<const UInt8*>(cStr), std::strlen(cStr), encoding, false);
    });
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes, CFStringEncoding encoding,
                                    Boolean isExternalRepresentation)
{
    if (numBytes < 0 || (bytes == nullptr && numBytes > 0))
        return nullptr;
    return noThrow<CFStringRef>(nullptr, [&] {
        return createDecoded(bytes, static_cast<size_t>(numBytes), encoding, isExternalRepresentation);
    });
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar* chars, CFIndex numChars)
{
    if (numChars < 0 || (chars == nullptr && numChars > 0))
        return nullptr;
    return noThrow<CFStringRef>(nullptr, [&]() -> CFStringRef {
        std::string utf8;
        if (!encodings::fromUTF16(chars, static_cast<size_t>(numChars), utf8))
            return nullptr;
        return platform::createString(std::move(utf8));
    });
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef theString)
{
    const auto& string = stringOf(theString, "CFStringCreateCopy");
    if (!string.isMutable)
        return static_cast<CFStringRef>(CFRetain(theString));
    return noThrow<CFStringRef>(nullptr, [&] { return platform::createString(string.text); });
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef allocator, CFDictionaryRef formatOptions, CFStringRef format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    CFStringRef result = CFStringCreateWithFormatAndArguments(allocator, formatOptions, format, arguments);
    va_end(arguments);
    return result;
}

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef, CFDictionaryRef, CFStringRef format,
                                                 va_list arguments)
{
    const auto& formatString = stringOf(format, "CFStringCreateWithFormatAndArguments");
    return noThrow<CFStringRef>(nullptr, [&]() -> CFStringRef {
        std::string text;
        if (!platform::formatText(formatString.text, arguments, text))
            return nullptr;
        return platform::createString(std::move(text));
    });
}

//==============================================================================
CFMutableStringRef CFStringCreateMutable(CFAllocatorRef, CFIndex)
{
    return noThrow<CFMutableStringRef>(nullptr, [] {
        return platform::toRef<CFMutableStringRef>(new CFStringObject({}, true));
    });
}

CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef, CFIndex, CFStringRef theString)
{
    const auto& string = stringOf(theString, "CFStringCreateMutableCopy");
    return noThrow<CFMutableStringRef>(nullptr, [&] {
        return platform::toRef<CFMutableStringRef>(new CFStringObject(string.text, true));
    });
}

void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString)
{
    auto& string = mutableStringOf(theString, "CFStringAppend");
    const auto& appended = stringOf(appendedString, "CFStringAppend");
    // Copied first: a string may be appended to itself.
    platform::noThrowOrStop("CFStringAppend", [&] { string.append(std::string(appended.text)); });
}

void CFStringAppendCString(CFMutableStringRef theString, const char* cStr, CFStringEncoding encoding)
{
    auto& string = mutableStringOf(theString, "CFStringAppendCString");
    if (cStr == nullptr)
        return;
    platform::noThrowOrStop("CFStringAppendCString", [&] {
        std::string utf8;
        if (encodings::decode(reinterpret_cast<const UInt8*>(cStr), std::strlen(cStr), encoding, false, utf8))
            string.append(utf8);
    });
}

//==============================================================================
CFIndex CFStringGetLength(CFStringRef theString)
{
    return stringOf(theString, "CFStringGetLength").utf16Units;
}

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex index)
{
    UniChar unit = 0;
    CFStringGetCharacters(theString, CFRangeMake(index, 1), &unit);
    return unit;
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer)
{
    const auto& string = stringOf(theString, "CFStringGetCharacters");
    checkRange(string, range, "CFStringGetCharacters");
    platform::noThrowOrStop("CFStringGetCharacters", [&] {
        const std::u16string units = encodings::toUTF16(string.text);
        std::copy_n(units.begin() + range.location, range.length, buffer);
    });
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding)
{
    const auto& string = stringOf(theString, "CFStringGetCString");
    if (buffer == nullptr || bufferSize <= 0)
        return false;
    const bool converted = noThrow(false, [&] {
        std::string bytes;
        if (!encodings::encode(string.text, encoding, bytes) || bytes.size() >= static_cast<size_t>(bufferSize))
            return false;
        std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
        return true;
    });
    if (!converted)
        buffer[0] = '\0';
    return converted;
}

const char* CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding)
{
    const auto& string = stringOf(theString, "CFStringGetCStringPtr");
    const bool sameBytes = encoding == kCFStringEncodingUTF8
                           || (encodings::extendsASCII(encoding) && encodings::isASCII(string.text));
    return sameBytes ? string.text.c_str() : nullptr;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding)
{
    const CFIndex bytesPerUnit = encodings::maximumBytesPerUnit(encoding);
    if (bytesPerUnit == 0 || length < 0 || length > LONG_MAX / bytesPerUnit)
        return kCFNotFound;
    return length * bytesPerUnit;
}

//==============================================================================
CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2, CFStringCompareFlags compareOptions)
{
    const int order = compareText(stringOf(theString1, "CFStringCompare").text,
                                  stringOf(theString2, "CFStringCompare").text,
                                  (compareOptions & kCFCompareCaseInsensitive) != 0);
    return order < 0 ? kCFCompareLessThan : order > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo;
}

// An empty prefix or suffix is not found, as an empty search is not.
Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix)
{
    const std::string& text = stringOf(theString, "CFStringHasPrefix").text;
    const std::string& start = stringOf(prefix, "CFStringHasPrefix").text;
    return !start.empty() && text.compare(0, start.size(), start) == 0;
}

Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix)
{
    const std::string& text = stringOf(theString, "CFStringHasSuffix").text;
    const std::string& end = stringOf(suffix, "CFStringHasSuffix").text;
    return !end.empty() && text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
