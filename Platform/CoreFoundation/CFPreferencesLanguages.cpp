#include "CoreFoundation/CFPreferencesLanguages.h"

#include "CoreFoundation/Strings.h"
#include "IOKit/Retained.h"

#include <CoreFoundation/CFArray.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform::preferences
{

namespace
{
std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The locale gettext takes messages from.
std::string messagesLocale()
{
    for (const char* name : { "LC_ALL", "LC_MESSAGES", "LANG" })
        if (auto value = environment(name); !value.empty())
            return value;
    return {};
}

// Chinese locales are named by region; the language list names their script too.
std::string withChineseScript(const std::string& locale)
{
    static const char* const traditional[] = { "zh_TW", "zh_HK", "zh_MO" };
    static const char* const simplified[] = { "zh_CN", "zh_SG" };

    for (const char* name : traditional)
        if (locale == name)
            return "zh-Hant" + locale.substr(2);
    for (const char* name : simplified)
        if (locale == name)
            return "zh-Hans" + locale.substr(2);
    return locale;
}

// language[_territory] of a locale name, or nothing for the portable locale.
std::string languageOf(const std::string& locale)
{
    const auto name = locale.substr(0, locale.find_first_of(".@"));
    if (name == "C" || name == "POSIX")
        return {};
    return withChineseScript(name);
}

void addLanguage(std::vector<std::string>& languages, const std::string& locale)
{
    const auto language = languageOf(locale);
    if (!language.empty() && std::find(languages.begin(), languages.end(), language) == languages.end())
        languages.push_back(language);
}

// The preferred languages in the order gettext tries them.
std::vector<std::string> preferredLanguages()
{
    std::vector<std::string> languages;
    const auto locale = messagesLocale();
    if (languageOf(locale).empty())
        return languages;

    const auto list = environment("LANGUAGE");
    for (size_t start = 0; start <= list.size();)
    {
        const auto end = std::min(list.find(':', start), list.size());
        addLanguage(languages, list.substr(start, end - start));
        start = end + 1;
    }

    addLanguage(languages, locale);
    return languages;
}

CFArrayRef createStringArray(const std::vector<std::string>& texts)
{
    std::vector<Retained<CFStringRef>> strings;
    std::vector<const void*> values;
    for (const auto& text : texts)
    {
        strings.push_back(Retained<CFStringRef>::adopt(createString(text)));
        values.push_back(strings.back().get());
    }
    return CFArrayCreate(kCFAllocatorDefault, values.data(), static_cast<CFIndex>(values.size()),
                         &kCFTypeArrayCallBacks);
}
} // namespace

CFPropertyListRef copyPreferredLanguages()
{
    const auto languages = preferredLanguages();
    return languages.empty() ? nullptr : createStringArray(languages);
}

} // namespace platform::preferences
