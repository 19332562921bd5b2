#include "FontsTestSupport.h"

#include "FontChain.h"

#include <climits>

using namespace fonts_test;

namespace
{
    juce::Typeface::Ptr loadFamily (const juce::String& family)
    {
        return juce::Typeface::createSystemTypefaceFor (juce::Font (family, "Regular", 13.0f));
    }

    juce::Typeface::Ptr resolve (const juce::Font& font)
    {
        return juce::LookAndFeel::getDefaultLookAndFeel().getTypefaceForFont (font);
    }
}

//==============================================================================
// Each typeface of the language table stands for an installed family, the one
// meant for its language: a package missing from the setup, or a family name
// that JUCE reads otherwise from the font file, leaves a language without font.

TEST (FontsResolution, EachTableTypefaceFindsItsFamily)
{
    const std::pair<const char*, const char*> expected[] =
    {
        { "Arial", "Liberation Sans" },
        { "Helvetica Neue", "Liberation Sans" },
        { "Heiti SC", "Noto Sans CJK SC" },
        { "Heiti TC", "Noto Sans CJK TC" },
        { "AppleGothic Regular", "NanumGothic" },
        { "Hiragino Maru Gothic Pro W4", "IPAPGothic" },
    };

    for (const auto& [name, family] : expected)
        EXPECT_EQ (Fonts::findInstalledFamilies (name)[0], juce::String (family)) << name;

    EXPECT_EQ (Fonts::findInstalledFamilies (juce::Font::getDefaultSansSerifFontName())[0],
               juce::String ("Liberation Sans"));

    // After its own faces, a CJK language takes every other installed face
    // that covers it (Noto Sans CJK SC covers Korean): the sans-serif ones,
    // Droid Sans Fallback last of them, before the serif, monospaced (by
    // name or as fontconfig lists them) and rounded ones.
    const auto korean = Fonts::getCandidateFamilies ("AppleGothic Regular");
    const auto chinese = Fonts::getCandidateFamilies ("Heiti SC");
    const auto droid = chinese.indexOf ("Droid Sans Fallback");
    EXPECT_GT (korean.indexOf ("Noto Sans CJK SC"), korean.indexOf ("Noto Sans CJK KR")) << korean.joinIntoString (", ");
    EXPECT_LT (korean.indexOf ("NanumSquare"), korean.indexOf ("NanumGothicCoding")) << korean.joinIntoString (", ");
    EXPECT_LT (chinese.indexOf ("Noto Sans CJK TC"), droid) << chinese.joinIntoString (", ");
    EXPECT_GT (chinese.indexOf ("Noto Serif CJK SC"), droid) << chinese.joinIntoString (", ");
    EXPECT_GT (chinese.indexOf ("Noto Sans Mono CJK SC"), droid) << chinese.joinIntoString (", ");
}

TEST (FontsResolution, OnlyInstalledCandidatesAreTaken)
{
    EXPECT_EQ (Fonts::getCandidateFamilies ("Klingon Sans"), juce::StringArray ("Klingon Sans"));
    EXPECT_TRUE (Fonts::findInstalledFamilies ("Klingon Sans").isEmpty());
    EXPECT_TRUE (Fonts::findInstalledFamilies ({}).isEmpty());
    EXPECT_EQ (Fonts::findInstalledFamilies ("DejaVu Sans"), juce::StringArray ("DejaVu Sans"));
}

//==============================================================================
// The coverage check: a font that lacks a character draws its missing glyph,
// which must not count as the character's.

TEST (FontsCoverage, LatinFontLacksChineseAndChineseFontLacksLatin)
{
    const auto latin = loadFamily ("Liberation Sans");
    const auto chinese = loadFamily ("Droid Sans Fallback");

    EXPECT_TRUE (Fonts::drawsGlyphFor (*latin, 'A'));
    EXPECT_TRUE (Fonts::drawsGlyphFor (*latin, 0x0416));   // Cyrillic Zhe
    EXPECT_FALSE (Fonts::drawsGlyphFor (*latin, 0x4e2d));  // Han "middle"
    EXPECT_TRUE (Fonts::drawsGlyphFor (*chinese, 0x4e2d));
    EXPECT_FALSE (Fonts::drawsGlyphFor (*chinese, 'A'));
    EXPECT_TRUE (Fonts::drawsGlyphFor (*chinese, ' '));
}

TEST (FontsCoverage, DetectorFindsBoxesOfChineseInLatinFont)
{
    const MissingGlyphDetector detector;
    const auto latin = loadFamily ("Liberation Sans");

    EXPECT_GT (detector.getNumMissingGlyphs(), 0u);
    EXPECT_EQ (detector.findBoxes (*latin, juce::String::fromUTF8 ("A\xe4\xb8\xad" "B")), "U+4E2D");
    EXPECT_EQ (detector.findBoxes (*latin, "AB C"), "");
}

//==============================================================================
// The chain draws each character from a family that has it, whatever the
// fallback was when JUCE cached the typeface.

// As Chinese draws when Noto Sans CJK is missing.
TEST_F (FontLookTest, ChineseFamilyWithoutLatinTakesItFromSansSerif)
{
    juce::Font::setFallbackFontName ("Klingon Sans");
    const juce::Font font ("Heiti SC", 13.0f, juce::Font::plain);
    const juce::Typeface::Ptr chain = new FontChain (font, juce::StringArray ("Droid Sans Fallback"));
    auto& droidChain = dynamic_cast<FontChain&> (*chain);

    EXPECT_EQ (droidChain.getFamilyFor (0x4e2d), "Droid Sans Fallback");
    EXPECT_EQ (droidChain.getFamilyFor ('K'), "Liberation Sans");
}

TEST_F (FontLookTest, PlaceholderFollowsFallbackChangedAfterCaching)
{
    const juce::Font menuFont (17.0f);
    juce::Font::setFallbackFontName ("Arial");
    auto* chain = dynamic_cast<FontChain*> (menuFont.getTypefacePtr().get());
    ASSERT_NE (chain, nullptr);
    EXPECT_EQ (chain->getFamilyFor ('E'), "Liberation Sans");

    juce::Font::setFallbackFontName ("Hiragino Maru Gothic Pro W4");
    EXPECT_EQ (juce::Font (17.0f).getTypefacePtr().get(), chain);
    EXPECT_EQ (chain->getFamilyFor (0x65e5), "IPAPGothic");          // Han "day", as Japanese draws it

    juce::Font::setFallbackFontName ("Heiti SC");
    EXPECT_EQ (chain->getFamilyFor (0x65e5), "Noto Sans CJK SC");     // the same, as Chinese draws it
    EXPECT_EQ (chain->getFamilyFor ('E'), "Liberation Sans");
}

TEST_F (FontLookTest, SameCharacterFromTwoFamiliesHasTwoGlyphNumbers)
{
    // JUCE's glyph cache knows a glyph by font and number alone.
    const auto typeface = juce::Font (17.0f).getTypefacePtr();
    const auto glyphUnder = [&typeface] (const juce::String& fallback)
    {
        juce::Font::setFallbackFontName (fallback);
        juce::Array<int> glyphs;
        juce::Array<float> offsets;
        typeface->getGlyphPositions (juce::String::charToString (0x65e5), glyphs, offsets);
        return glyphs.isEmpty() ? -1 : glyphs[0];
    };

    EXPECT_NE (glyphUnder ("Hiragino Maru Gothic Pro W4"), glyphUnder ("Heiti SC"));
}

TEST_F (FontLookTest, PositionsOfMixedTextAdvanceOverEveryRun)
{
    juce::Font::setFallbackFontName ("Klingon Sans");
    const juce::Typeface::Ptr typeface = new FontChain (juce::Font ("Heiti SC", 13.0f, juce::Font::plain),
                                                             juce::StringArray ("Droid Sans Fallback"));
    const auto text = juce::String::fromUTF8 ("KVX\xe4\xb8\xad\xe6\x96\x87" "A");
    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    typeface->getGlyphPositions (text, glyphs, offsets);

    ASSERT_EQ (glyphs.size(), text.length());
    ASSERT_EQ (offsets.size(), text.length() + 1);

    for (int i = 0; i < glyphs.size(); ++i)
        EXPECT_GT (offsets[i + 1], offsets[i]) << "after character " << i;

    EXPECT_FLOAT_EQ (offsets.getLast(), typeface->getStringWidth (text));
}

TEST_F (FontLookTest, GlyphNumbersThatNameNoMemberDrawNothing)
{
    const auto typeface = resolve (juce::Font ("Arial", 13.0f, juce::Font::plain));
    juce::Path path;

    for (const auto glyph : { -1, INT_MAX, 1000 << 21 })
    {
        EXPECT_FALSE (typeface->getOutlineForGlyph (glyph, path)) << glyph;
        EXPECT_EQ (typeface->getEdgeTableForGlyph (glyph, {}, 13.0f), nullptr) << glyph;
    }
}

TEST_F (FontLookTest, RemovedLookHandsTypefacesBackToJuce)
{
    look.reset();
    const auto typeface = resolve (juce::Font ("Arial", 13.0f, juce::Font::plain));

    EXPECT_EQ (dynamic_cast<FontChain*> (typeface.get()), nullptr);
    EXPECT_EQ (dynamic_cast<FontChain*> (juce::Font (13.0f).getTypefacePtr().get()), nullptr);
}
