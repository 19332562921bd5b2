// The embedded blocks as the loaders read them: by pointer and length, byte for byte.
#include "Binary.h"
#include "Table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{

std::string bytesOf(const ResourceRef& resource)
{
    return std::string(*resource.pointer, (size_t) *resource.length);
}

const ResourceRef languageTable { &language_txt_pointer, &language_txt_length };

std::string tableName(juce::uint32 language)
{
    return plangList[language].code.toStdString();
}

} // namespace

//==============================================================================
// The sizes fix the exact bytes of the two tables whose texts are given.
TEST(EmbeddedResources, EnglishAndLanguageTablesHaveTheirExactSizes)
{
    EXPECT_EQ(english_txt_length, 796);
    EXPECT_EQ(language_txt_length, 517);
}

//==============================================================================
// Line ends and byte-order marks that an editor may have changed.
TEST(EmbeddedResources, EveryTableStartsWithItsByteOrderMarkLine)
{
    for (juce::uint32 i = 0; i < numLanguages; ++i)
        EXPECT_EQ(bytesOf(ptextList[i]).substr(0, 5), "\xEF\xBB\xBF\r\n") << tableName(i);
    EXPECT_EQ(bytesOf(languageTable).substr(0, 5), "\xEF\xBB\xBF\r\n");
}

TEST(EmbeddedResources, EveryLineEndsInCarriageReturnLineFeed)
{
    auto check = [](const std::string& table, const std::string& name) {
        for (size_t i = 0; i < table.size(); ++i)
        {
            if (table[i] == '\n')
            {
                EXPECT_TRUE(i > 0 && table[i - 1] == '\r') << name << ": bare LF at byte " << i;
            }
            if (table[i] == '\r')
            {
                EXPECT_TRUE(i + 1 < table.size() && table[i + 1] == '\n') << name << ": bare CR at byte " << i;
            }
        }
    };

    for (juce::uint32 i = 0; i < numLanguages; ++i)
        check(bytesOf(ptextList[i]), tableName(i));
    check(bytesOf(languageTable), "language");
}

TEST(EmbeddedResources, TablesHoldNoNulAndNoLineTheParserWouldCut)
{
    for (juce::uint32 i = 0; i < numLanguages; ++i)
    {
        const auto table = bytesOf(ptextList[i]);
        EXPECT_EQ(table.find('\0'), std::string::npos) << tableName(i);

        size_t start = 0;
        for (auto end = table.find("\r\n"); end != std::string::npos; end = table.find("\r\n", start))
        {
            EXPECT_LT(end - start, 2048u) << tableName(i) << " line at byte " << start;
            start = end + 2;
        }
    }
}

TEST(EmbeddedResources, TablesEndWithTheirEndMarker)
{
    for (juce::uint32 i = 0; i + 1 < numLanguages; ++i)
    {
        const auto table = bytesOf(ptextList[i]);
        EXPECT_EQ(table.substr(table.size() - 6), ":EOF\r\n") << tableName(i);
    }

    // Japanese carries one byte, the digit 1, after its end marker and no line end.
    const auto japanese = bytesOf(ptextList[11]);
    EXPECT_EQ(japanese.substr(japanese.size() - 7), ":EOF\r\n1");
}

//==============================================================================
TEST(EmbeddedResources, WarningIconIsA56By55RgbaPngWithoutInterlace)
{
    const auto png = bytesOf(pimageList[0]);
    ASSERT_GE(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.substr(12, 4), "IHDR");

    auto bigEndian32 = [&png](size_t offset) {
        return (juce::uint32) (juce::uint8) png[offset] << 24 | (juce::uint32) (juce::uint8) png[offset + 1] << 16
             | (juce::uint32) (juce::uint8) png[offset + 2] << 8 | (juce::uint32) (juce::uint8) png[offset + 3];
    };
    EXPECT_EQ(bigEndian32(16), 56u) << "width";
    EXPECT_EQ(bigEndian32(20), 55u) << "height";
    EXPECT_EQ((int) png[24], 8) << "bit depth";
    EXPECT_EQ((int) png[25], 6) << "colour type";
    EXPECT_EQ((int) png[28], 0) << "interlace method";
    EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
}
