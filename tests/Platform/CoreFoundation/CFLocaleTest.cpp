// Canonical locale identifiers from the forms users and systems write.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <string>

namespace
{

// The canonical identifier's text, or "(null)".
std::string canonical(const char* identifier)
{
    const auto input = CFStringCreateWithCString(kCFAllocatorDefault, identifier, kCFStringEncodingUTF8);
    const auto result = CFLocaleCreateCanonicalLocaleIdentifierFromString(kCFAllocatorDefault, input);
    CFRelease(input);
    if (result == nullptr)
        return "(null)";

    char text[64] = {};
    CFStringGetCString(result, text, sizeof text, kCFStringEncodingUTF8);
    CFRelease(result);
    return text;
}

} // namespace

TEST(CFLocale, HyphensAndCodesetsBecomeTheUnderscoreForm)
{
    EXPECT_EQ(canonical("de-DE"), "de_DE");
    EXPECT_EQ(canonical("de_DE.UTF-8"), "de_DE");
    EXPECT_EQ(canonical("de_DE.UTF-8@euro"), "de_DE");
    EXPECT_EQ(canonical("sr_RS@latin"), "sr_RS");
}

TEST(CFLocale, EachPartGetsItsCase)
{
    EXPECT_EQ(canonical("pt-br"), "pt_BR");
    EXPECT_EQ(canonical("EN_us"), "en_US");
    EXPECT_EQ(canonical("ZH-HANT-tw"), "zh-Hant_TW");
}

TEST(CFLocale, ScriptStaysJoinedToTheLanguage)
{
    EXPECT_EQ(canonical("zh-Hant-TW"), "zh-Hant_TW");
    EXPECT_EQ(canonical("zh_Hans"), "zh-Hans");
    EXPECT_EQ(canonical("sr-Latn-RS"), "sr-Latn_RS");
}

TEST(CFLocale, CanonicalIdentifiersStayAsTheyAre)
{
    for (const char* identifier : { "en", "de_DE", "zh-Hant_TW", "es_419", "en_US_POSIX" })
        EXPECT_EQ(canonical(identifier), identifier);
}

TEST(CFLocale, ExtensionsAreDropped)
{
    EXPECT_EQ(canonical("en-US-u-ca-gregory"), "en_US");
    EXPECT_EQ(canonical("de-x-private"), "de");
}

TEST(CFLocale, TextThatIsNoIdentifierGivesNull)
{
    for (const char* text : { "", "x", "12", "d\xc3\xa9", "de--DE", "de_", "de DE", ".UTF-8", "abcdefghi" })
        EXPECT_EQ(canonical(text), "(null)") << '"' << text << '"';
    EXPECT_EQ(CFLocaleCreateCanonicalLocaleIdentifierFromString(kCFAllocatorDefault, nullptr), nullptr);
}
