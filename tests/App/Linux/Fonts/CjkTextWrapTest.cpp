// Where CJK lines may break, shown on texts made up for the rule.
#include "FontsTestSupport.h"

#include "CjkTextWrap.h"

using namespace fonts_test;

namespace
{
    bool isOpeningBracket (juce::juce_wchar c)
    {
        return juce::String::fromUTF8 ("\xe3\x80\x8c\xef\xbc\x88").containsChar (c);   // 「 （
    }
}

// An opening bracket belongs to what follows it: it may start a line and never ends one.
TEST_F (FontLookTest, OpeningBracketsStartLinesAndNeverEndThem)
{
    const juce::Font font ("Heiti SC", 13.0f, juce::Font::plain);
    const auto text = juce::String::fromUTF8 ("\xe6\x8c\x89\xe4\xbd\x8f\xe3\x80\x8c" "SHIFT" "\xe3\x80\x8d\xe9\x94\xae"
                                              "\xe5\x90\x8e\xe8\xbf\x9e\xe6\x8e\xa5\xef\xbc\x88" "USB"
                                              "\xef\xbc\x89\xe7\x94\xb5\xe7\xbc\x86\xe3\x80\x82\xe8\xae\xbe\xe7\xbd\xae"
                                              "\xe3\x80\x8c\xe6\x9b\xb4\xe6\x96\xb0\xe6\xa8\xa1\xe5\xbc\x8f\xe3\x80\x8d"
                                              "\xe5\x90\x8e\xef\xbc\x88\xe7\xba\xa6\xe5\x8d\x81\xe7\xa7\x92\xef\xbc\x89"
                                              "\xe9\x87\x8d\xe6\x96\xb0\xe5\x90\xaf\xe5\x8a\xa8\xe3\x80\x82");
    int linesStartingWithBracket = 0;

    for (float width = 40.0f; width < 300.0f; width += 1.0f)
    {
        juce::GlyphArrangement glyphs;
        ASSERT_TRUE (CjkTextWrap::addWrapped (glyphs, font, text, { 0.0f, 0.0f, width, 1000.0f }, 100)) << width;

        for (int i = 1; i < glyphs.getNumGlyphs(); ++i)
        {
            const auto& before = glyphs.getGlyph (i - 1);
            const auto& after = glyphs.getGlyph (i);

            if (before.getBaselineY() == after.getBaselineY())
                continue;

            EXPECT_FALSE (isOpeningBracket (before.getCharacter())) << "a line ends with a bracket at width " << width;

            if (isOpeningBracket (after.getCharacter()))
                ++linesStartingWithBracket;
        }
    }

    EXPECT_GT (linesStartingWithBracket, 0);
}
