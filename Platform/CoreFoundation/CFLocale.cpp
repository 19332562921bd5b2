#include <CoreFoundation/CFLocale.h>

#include "CoreFoundation/Object.h"
#include "CoreFoundation/Strings.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

// Identifiers are ASCII: the tests and case changes here ignore the C locale,
// which a program may have set to anything.
namespace
{

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetterOrDigit(char c)
{
    return isLetter(c) || isDigit(c);
}

bool allOf(const std::string& text, bool (*test)(char))
{
    return std::all_of(text.begin(), text.end(), test);
}

std::string lowerCase(std::string text)
{
    for (auto& c : text)
        if (c >= 'A' && c <= 'Z')
            c = (char) (c - 'A' + 'a');
    return text;
}

std::string upperCase(std::string text)
{
    for (auto& c : text)
        if (c >= 'a' && c <= 'z')
            c = (char) (c - 'a' + 'A');
    return text;
}

std::string titleCase(const std::string& text)
{
    return upperCase(text.substr(0, 1)) + lowerCase(text.substr(1));
}

// The subtags between '-' and '_', up to a codeset or modifier; nothing when one is
// empty or holds anything but letters and digits.
std::optional<std::vector<std::string>> subtagsOf(const std::string& identifier)
{
    const auto text = identifier.substr(0, identifier.find_first_of(".@"));
    std::vector<std::string> subtags;
    size_t start = 0;

    for (;;)
    {
        const auto end = std::min(text.find_first_of("-_", start), text.size());
        auto subtag = text.substr(start, end - start);
        if (subtag.empty() || !allOf(subtag, isLetterOrDigit))
            return std::nullopt;
        subtags.push_back(std::move(subtag));
        if (end == text.size())
            return subtags;
        start = end + 1;
    }
}

bool isLanguage(const std::string& subtag)
{
    return subtag.size() >= 2 && subtag.size() <= 8 && allOf(subtag, isLetter);
}

bool isScript(const std::string& subtag)
{
    return subtag.size() == 4 && allOf(subtag, isLetter);
}

bool isRegion(const std::string& subtag)
{
    return (subtag.size() == 2 && allOf(subtag, isLetter)) || (subtag.size() == 3 && allOf(subtag, isDigit));
}

std::optional<std::string> canonicalIdentifier(const std::string& identifier)
{
    const auto subtags = subtagsOf(identifier);
    if (!subtags || !isLanguage(subtags->front()))
        return std::nullopt;

    auto result = lowerCase(subtags->front());
    auto next = subtags->begin() + 1;

    if (next != subtags->end() && isScript(*next))
        result += "-" + titleCase(*next++);
    if (next != subtags->end() && isRegion(*next))
        result += "_" + upperCase(*next++);

    // A one-letter subtag starts extensions and private use, which are not kept.
    for (; next != subtags->end() && next->size() > 1; ++next)
        result += "_" + upperCase(*next);

    return result;
}

} // namespace

CFLocaleIdentifier CFLocaleCreateCanonicalLocaleIdentifierFromString(CFAllocatorRef, CFStringRef localeIdentifier)
{
    if (localeIdentifier == nullptr)
        return nullptr;

    const auto& text = platform::textOf(localeIdentifier);
    return platform::noThrow<CFStringRef>(nullptr, [&]() -> CFStringRef {
        const auto canonical = canonicalIdentifier(text);
        return canonical ? platform::createString(*canonical) : nullptr;
    });
}
