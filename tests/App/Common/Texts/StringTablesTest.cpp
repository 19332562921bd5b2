// The rules every string table keeps: the screens format its entries with fixed
// arguments, so a translation with one conversion too many reads past them.
#include "Loader.h"
#include "Table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

enum Language : juce::uint32
{
    english = 0, portuguese = 7, dutch = 5, simplifiedChinese = 8, traditionalChinese = 9, korean = 10, japanese = 11
};

const int maxEntries = 32;
const char* const unset = "\x01unset";

// Every entry of the table's string section, however many there are.
std::vector<std::string> entriesOf(juce::uint32 language)
{
    juce::String strings[maxEntries];
    for (auto& string : strings)
        string = unset;

    TxtLoader::Load(language, FlgStr, strings, maxEntries);

    std::vector<std::string> entries;
    for (const auto& string : strings)
        if (string != unset)
            entries.push_back(string.toStdString());
    return entries;
}

struct Conversion
{
    std::string text;   // as written, "%02d"
    char type;          // 's', 'd', or what else the text asks for
    bool bracketed;     // written "[%s]"
};

// The printf conversions of a format in order; "%%" is none.
std::vector<Conversion> conversionsOf(const std::string& format)
{
    std::vector<Conversion> conversions;

    for (size_t start = format.find('%'); start != std::string::npos; start = format.find('%', start))
    {
        auto end = format.find_first_not_of(" -+0#123456789.lhjztL", start + 1);
        if (end == std::string::npos)
            end = format.size() - 1;

        if (format[end] != '%' || end != start + 1)
        {
            const bool bracketed = start > 0 && format[start - 1] == '[' && end + 1 < format.size() && format[end + 1] == ']';
            conversions.push_back({ format.substr(start, end - start + 1), format[end], bracketed });
        }
        start = end + 1;
    }
    return conversions;
}

// What the screens pass when they format an entry: one letter per argument, 's'
// a UTF-8 text, 'd' an int. Entries that are never formatted get none.
std::string argumentsOf(juce::uint32 language, size_t entry)
{
    switch (entry)
    {
        case 11: case 12: case 15: case 17: case 20: return "s";
        case 13: case 14: return "dd";
        case 21: return language == japanese ? "ss" : "ssss";
        case 22: return language == japanese ? "s" : "";
        default: return "";
    }
}

std::string typesOf(const std::vector<Conversion>& conversions)
{
    std::string types;
    for (const auto& conversion : conversions)
        types += conversion.type;
    return types;
}

std::string codeOf(juce::uint32 language)
{
    return plangList[language].code.toStdString();
}

class StringTables : public ::testing::TestWithParam<juce::uint32>
{
protected:
    juce::uint32 language() const { return GetParam(); }
    std::vector<std::string> entries = entriesOf(GetParam());
};

} // namespace

//==============================================================================
// Shape of each table
TEST_P(StringTables, HoldExactly24EntriesInOneStringSection)
{
    EXPECT_EQ(entries.size(), 24u);

    const auto& resource = ptextList[language()];
    const std::string table(*resource.pointer, (size_t) *resource.length);
    std::vector<std::string> markers;
    for (size_t start = 0; start < table.size();)
    {
        auto end = std::min(table.find("\r\n", start), table.size());
        if (table[start] == ':')
            markers.push_back(table.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(markers, (std::vector<std::string> { ":STR", ":EOF" }));
}

TEST_P(StringTables, FixedEntriesAreTheSameEverywhere)
{
    ASSERT_EQ(entries.size(), 24u);
    EXPECT_EQ(entries[0], "");
    EXPECT_EQ(entries[1], "KVX");
    EXPECT_EQ(entries[2], "KVX-TN");
    if (language() != japanese)
    {
        EXPECT_EQ(entries[22], "");
    }
}

// The ready screen shows step 1 without its first three bytes.
TEST_P(StringTables, StepsAreNumbered)
{
    ASSERT_EQ(entries.size(), 24u);
    EXPECT_EQ(entries[21].substr(0, 3), "1. ");
    EXPECT_EQ(entries[23].substr(0, 3), "2. ");
}

TEST_P(StringTables, EntriesAreValidUtf8)
{
    for (const auto& entry : entries)
        EXPECT_TRUE(juce::CharPointer_UTF8::isValidString(entry.data(), (int) entry.size())) << entry;
}

//==============================================================================
// Conversions against what the callers pass
TEST_P(StringTables, NoEntryConvertsMoreOrOtherArgumentsThanItsCallerPasses)
{
    for (size_t i = 0; i < entries.size(); ++i)
    {
        const auto types = typesOf(conversionsOf(entries[i]));
        const auto arguments = argumentsOf(language(), i);
        EXPECT_EQ(types, arguments.substr(0, types.size()))
            << codeOf(language()) << " entry " << i << ": \"" << entries[i] << "\" is given \"" << arguments << "\"";
    }
}

TEST_P(StringTables, VersionsAreFormattedWithTwoDigitsAfterThePoint)
{
    ASSERT_EQ(entries.size(), 24u);
    for (size_t i : { 13, 14 })
    {
        const auto conversions = conversionsOf(entries[i]);
        ASSERT_EQ(conversions.size(), 2u) << codeOf(language()) << " entry " << i;
        EXPECT_EQ(conversions[0].text, "%d");
        EXPECT_EQ(conversions[1].text, "%02d");
        EXPECT_NE(entries[i].find("%d.%02d"), std::string::npos) << entries[i];
    }
}

// Step 1 names the buttons in brackets; which conversions they are depends on the language.
TEST_P(StringTables, StepOneNamesButtonsAndModelInTheLanguagesOrder)
{
    ASSERT_EQ(entries.size(), 24u);
    const auto step1 = conversionsOf(entries[21]);

    if (language() == japanese)
    {
        ASSERT_EQ(step1.size(), 2u);
        EXPECT_TRUE(step1[0].bracketed && step1[1].bracketed) << entries[21];
        EXPECT_EQ(conversionsOf(entries[22]).size(), 1u) << entries[22];
        return;
    }

    ASSERT_EQ(step1.size(), 4u) << entries[21];
    const bool modelFirst = language() == simplifiedChinese || language() == traditionalChinese || language() == korean;
    const std::vector<bool> expected = modelFirst ? std::vector<bool> { false, true, true, false }
                                                  : std::vector<bool> { true, true, false, false };
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(step1[i].bracketed, expected[i]) << codeOf(language()) << " conversion " << i << ": " << entries[21];
}

// A table copied from English and left untranslated would pass every other rule.
TEST_P(StringTables, TextsAreTranslated)
{
    if (language() == english)
        return;

    const auto english = entriesOf(0);
    ASSERT_EQ(entries.size(), 24u);
    for (size_t i : { 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 23 })
        EXPECT_NE(entries[i], english[i]) << codeOf(language()) << " entry " << i;
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, StringTables, ::testing::Range<juce::uint32>(0, numLanguages),
                         [](const auto& info) { return juce::String(plangList[info.param].code).removeCharacters("-").toStdString(); });

//==============================================================================
// Texts and peculiarities that the screens were laid out for
TEST(StringTablePeculiarities, PortugueseAndKoreanCompletionMessagesNameNoModel)
{
    EXPECT_TRUE(conversionsOf(entriesOf(portuguese)[17]).empty());
    EXPECT_TRUE(conversionsOf(entriesOf(korean)[17]).empty());
}

TEST(StringTablePeculiarities, PortugueseUpdatingHeadingWritesItsConversionWithABlankFlag)
{
    const auto conversions = conversionsOf(entriesOf(portuguese)[15]);
    ASSERT_EQ(conversions.size(), 1u);
    EXPECT_EQ(conversions[0].text, "% s");
}

TEST(StringTablePeculiarities, DutchUpdatingHeadingHasNoBlankAfterItsConversion)
{
    const auto heading = entriesOf(dutch)[15];
    const auto position = heading.find("%s");
    ASSERT_NE(position, std::string::npos) << heading;
    ASSERT_LT(position + 2, heading.size());
    EXPECT_NE(heading[position + 2], ' ') << heading;
}

TEST(StringTablePeculiarities, QuotedTextsStandAsGiven)
{
    EXPECT_EQ(entriesOf(simplifiedChinese)[21],
              "1. 按住%s左DECK上的[%s]按钮和[%s]按钮时，使用USB电缆将其连接至计算机。 %s将在更新模式下启动。");
    EXPECT_EQ(entriesOf(japanese)[21], "1. 左DECKの[%s]と[%s]を押しながらUSBケーブルを");
    EXPECT_EQ(entriesOf(japanese)[22], "接続し、%sをアップデートモードで起動してください。");
}
