// The preferred-language list, read from the locale variables as gettext reads them.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace
{

// Runs each test with only the locale variables it sets, and puts the caller's back.
class CFPreferencesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : variables)
        {
            if (const char* value = std::getenv(name))
                saved[name] = value;
            unsetenv(name);
        }
    }

    void TearDown() override
    {
        for (const char* name : variables)
        {
            unsetenv(name);
            if (saved.count(name) != 0)
                setenv(name, saved[name].c_str(), 1);
        }
    }

    // The list's texts, or {"(null)"} when there is no list.
    static std::vector<std::string> preferredLanguages()
    {
        const auto value = CFPreferencesCopyAppValue(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication);
        if (value == nullptr)
            return { "(null)" };

        EXPECT_EQ(CFGetTypeID(value), CFArrayGetTypeID());
        std::vector<std::string> languages;
        const auto array = static_cast<CFArrayRef>(value);
        for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
        {
            const auto language = static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, i));
            EXPECT_EQ(CFGetTypeID(language), CFStringGetTypeID());
            char text[64] = {};
            CFStringGetCString(language, text, sizeof text, kCFStringEncodingUTF8);
            languages.push_back(text);
        }
        CFRelease(value);
        return languages;
    }

    using Languages = std::vector<std::string>;

private:
    static constexpr const char* variables[] = { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" };
    std::map<std::string, std::string> saved;
};

} // namespace

//==============================================================================
TEST_F(CFPreferencesTest, LocaleGivesItsLanguageWithoutCodesetOrModifier)
{
    setenv("LANG", "de_DE.UTF-8@euro", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "de_DE" }));
}

TEST_F(CFPreferencesTest, LanguageListComesFirstThenTheLocale)
{
    setenv("LANGUAGE", "fr:de_CH.ISO-8859-1@euro:en", 1);
    setenv("LANG", "it_IT.UTF-8", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "fr", "de_CH", "en", "it_IT" }));
}

TEST_F(CFPreferencesTest, FirstSetOfLcAllLcMessagesAndLangIsTheLocale)
{
    setenv("LANG", "de_DE.UTF-8", 1);
    setenv("LC_MESSAGES", "es_ES.UTF-8", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "es_ES" }));

    setenv("LC_ALL", "", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "es_ES" })) << "an empty LC_ALL is not set";

    setenv("LC_ALL", "nl_NL", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "nl_NL" }));
}

// As in gettext, the portable locale shows untranslated messages whatever LANGUAGE says.
TEST_F(CFPreferencesTest, PortableOrMissingLocaleGivesNoList)
{
    EXPECT_EQ(preferredLanguages(), (Languages { "(null)" })) << "nothing set";

    setenv("LANGUAGE", "fr", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "(null)" })) << "LANGUAGE without a locale";

    for (const char* locale : { "C", "POSIX", "C.UTF-8" })
    {
        setenv("LANG", locale, 1);
        EXPECT_EQ(preferredLanguages(), (Languages { "(null)" })) << locale;
    }
}

TEST_F(CFPreferencesTest, EmptyPortableAndRepeatedEntriesAreLeftOut)
{
    setenv("LANGUAGE", ":de_DE::C:POSIX:de_DE.UTF-8:", 1);
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "de_DE" }));
}

// Other systems name Chinese by script; Linux locales name it by region.
TEST_F(CFPreferencesTest, ChineseRegionsGainTheirScript)
{
    setenv("LANGUAGE", "zh_HK:zh_CN:zh_SG:zh_MO:zh", 1);
    setenv("LANG", "zh_TW.UTF-8", 1);
    EXPECT_EQ(preferredLanguages(),
              (Languages { "zh-Hant_HK", "zh-Hans_CN", "zh-Hans_SG", "zh-Hant_MO", "zh", "zh-Hant_TW" }));
}

TEST_F(CFPreferencesTest, OtherKeysHaveNoValue)
{
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(CFPreferencesCopyAppValue(CFSTR("SomethingElse"), kCFPreferencesCurrentApplication), nullptr);
    EXPECT_EQ(CFPreferencesCopyAppValue(nullptr, kCFPreferencesCurrentApplication), nullptr);
}
