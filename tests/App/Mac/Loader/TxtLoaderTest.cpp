// The text loader as the window uses it: the start language from the user's
// preferred languages in the environment, the language table, and language changes.
#include "Loader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

namespace
{

// Runs each test with only the locale variables it sets, and puts the caller's back.
class TxtLoaderTest : public ::testing::Test
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
        TxtLoader::releaseInstance();
    }

    void TearDown() override
    {
        TxtLoader::releaseInstance();
        for (const char* name : variables)
        {
            unsetenv(name);
            if (saved.count(name) != 0)
                setenv(name, saved[name].c_str(), 1);
        }
    }

    static juce::uint32 startLanguage(const char* language, const char* lang = "en_US.UTF-8")
    {
        if (language != nullptr)
            setenv("LANGUAGE", language, 1);
        if (lang != nullptr)
            setenv("LANG", lang, 1);
        return TxtLoader::getInstance()->getLocale();
    }

private:
    static constexpr const char* variables[] = { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" };
    std::map<std::string, std::string> saved;
};

} // namespace

//==============================================================================
// Choosing the start language: the first preferred language that is one of ours
TEST_F(TxtLoaderTest, FirstPreferredLanguageThatMatchesWins)
{
    EXPECT_EQ(startLanguage("de_DE:en"), 2u);
}

TEST_F(TxtLoaderTest, RegionAndScriptFollowTheLanguageCode)
{
    EXPECT_EQ(startLanguage(nullptr, "pt_BR.UTF-8"), 7u);
    TxtLoader::releaseInstance();
    EXPECT_EQ(startLanguage("zh-Hant-TW"), 9u);
}

TEST_F(TxtLoaderTest, ChineseWithoutScriptMatchesNoCodeAndTheNextEntryDecides)
{
    EXPECT_EQ(startLanguage("zh:zh_MY:fr"), 1u);
    TxtLoader::releaseInstance();
    EXPECT_EQ(startLanguage("zh", "zh_MY.UTF-8"), 0u);
}

// Linux names Chinese locales by region; the preferred languages add the script.
TEST_F(TxtLoaderTest, ChineseLocaleOfTaiwanOrChinaGivesItsScript)
{
    EXPECT_EQ(startLanguage(nullptr, "zh_TW.UTF-8"), 9u);
    TxtLoader::releaseInstance();
    EXPECT_EQ(startLanguage(nullptr, "zh_CN.UTF-8"), 8u);
}

TEST_F(TxtLoaderTest, CaseOfTheIdentifierDoesNotMatter)
{
    EXPECT_EQ(startLanguage("EN_us:fr"), 0u);
    TxtLoader::releaseInstance();
    EXPECT_EQ(startLanguage("JA_jp:fr"), 11u);
}

TEST_F(TxtLoaderTest, IdentifierOf16CharactersOrMoreIsSkipped)
{
    EXPECT_EQ(startLanguage("de_DE_TRADITIONAL:fr"), 1u) << "17 characters";
    TxtLoader::releaseInstance();
    EXPECT_EQ(startLanguage("de_DE_TRADITION:fr"), 2u) << "15 characters";
}

TEST_F(TxtLoaderTest, EntriesThatAreNoLocaleIdentifierAreSkipped)
{
    EXPECT_EQ(startLanguage("d\xc3\xa9:x:12:fr"), 1u);
}

TEST_F(TxtLoaderTest, MissingEmptyOrPortableLocaleGivesEnglish)
{
    EXPECT_EQ(startLanguage(nullptr, nullptr), 0u) << "nothing set";
    TxtLoader::releaseInstance();
    EXPECT_EQ(startLanguage("fr", "C"), 0u) << "the C locale ignores LANGUAGE";
    TxtLoader::releaseInstance();
    EXPECT_EQ(startLanguage(":::", "@@@"), 0u) << "malformed";
    TxtLoader::releaseInstance();
    EXPECT_EQ(startLanguage("sv:fi", "sv_SE.UTF-8"), 0u) << "none of ours";
}

//==============================================================================
// The instance
TEST_F(TxtLoaderTest, EveryLanguageIsAvailable)
{
    auto* loader = TxtLoader::getInstance();
    for (juce::uint32 i = 0; i < numLanguages; ++i)
        EXPECT_TRUE(loader->isLocale(i)) << i;
    EXPECT_FALSE(loader->isLocale(numLanguages));
}

TEST_F(TxtLoaderTest, LanguageTableGivesNamesAndMacTypefacesInIndexOrder)
{
    const char* const names[] = { "English", "Français", "Deutsch", "Español", "Italiano", "Nederlands",
                                  "Русский", "Português", "简体中文", "繁體中文", "한국어", "日本語" };
    const char* const typefaces[] = { "Arial", "Arial", "Arial", "Arial", "Arial", "Arial", "Helvetica Neue",
                                      "Arial", "Heiti SC", "Heiti TC", "AppleGothic Regular",
                                      "Hiragino Maru Gothic Pro W4" };
    auto* loader = TxtLoader::getInstance();

    for (juce::uint32 i = 0; i < numLanguages; ++i)
    {
        EXPECT_EQ(loader->getLang(i).toStdString(), names[i]);
        EXPECT_EQ(loader->getFont(i).toStdString(), typefaces[i]);
    }
}

TEST_F(TxtLoaderTest, IndicesOutOfRangeGiveTheEmptyString)
{
    auto* loader = TxtLoader::getInstance();
    EXPECT_EQ(loader->getString(TxtLoader::numStrings), "");
    EXPECT_EQ(loader->getLang(numLanguages), "");
    EXPECT_EQ(loader->getFont(numLanguages), "");
    EXPECT_EQ(loader->getString(~juce::uint32 { 0 }), "");
}

TEST_F(TxtLoaderTest, FontWithoutArgumentIsTheCurrentLanguagesTypeface)
{
    setenv("LANG", "ru_RU.UTF-8", 1);
    auto* loader = TxtLoader::getInstance();
    ASSERT_EQ(loader->getLocale(), 6u);
    EXPECT_EQ(loader->getFont(), "Helvetica Neue");
}

TEST_F(TxtLoaderTest, ChangingLanguageRewordsStringsThatCallersHold)
{
    auto* loader = TxtLoader::getInstance();
    ASSERT_EQ(loader->getLocale(), 0u);
    const juce::String& close = loader->getString(7);
    EXPECT_EQ(close, "Close");

    loader->setLocale(2);
    EXPECT_EQ(loader->getLocale(), 2u);
    EXPECT_EQ(close.toStdString(), "Schließen");
    EXPECT_EQ(loader->getString(2), "KVX-TN");
}

TEST_F(TxtLoaderTest, IndexThatIsNoLanguageLeavesTheLanguageAlone)
{
    auto* loader = TxtLoader::getInstance();
    loader->setLocale(5);
    loader->setLocale(numLanguages);
    EXPECT_EQ(loader->getLocale(), 5u);
    EXPECT_EQ(loader->getString(7), "Sluiten");
}

TEST_F(TxtLoaderTest, ReleaseEndsTheInstanceAndTheNextOneReadsThePreferencesAgain)
{
    TxtLoader::releaseInstance();
    TxtLoader::createInstance();
    TxtLoader::getInstance()->setLocale(3);
    TxtLoader::createInstance(); // an instance exists: nothing happens
    EXPECT_EQ(TxtLoader::getInstance()->getLocale(), 3u);

    TxtLoader::releaseInstance();
    setenv("LANG", "ko_KR.UTF-8", 1);
    EXPECT_EQ(TxtLoader::getInstance()->getLocale(), 10u);
}
