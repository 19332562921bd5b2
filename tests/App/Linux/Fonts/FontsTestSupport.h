// What the font tests share: the look installed for the time of one test, and a
// detector of missing-glyph boxes that works from the drawn outlines alone.
#pragma once

#include "FontLookAndFeel.h"
#include "Fonts.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

namespace fonts_test
{

/** The typeface names of the language table. */
inline const juce::StringArray& getTableTypefaces()
{
    static const juce::StringArray names { "Arial", "Helvetica Neue", "Heiti SC", "Heiti TC",
                                           "AppleGothic Regular", "Hiragino Maru Gothic Pro W4" };
    return names;
}

/** Installs the Linux look as JUCE's default for one test and puts back the
    fallback typeface afterwards, so that the other tests of the binary see JUCE's
    own typefaces.
*/
class FontLookTest  : public ::testing::Test
{
protected:
    FontLookTest()
        : previousFallback (juce::Font::getFallbackFontName()),
          look (FontLookAndFeel::installAsDefault())
    {
    }

    ~FontLookTest() override
    {
        look.reset();
        juce::Font::setFallbackFontName (previousFallback);
    }

    const juce::String previousFallback;
    std::unique_ptr<FontLookAndFeel> look;
};

/**
    Tells a glyph that shows as a missing-glyph box. A font lacking a character
    draws its own missing glyph, so a drawn outline that is empty, or equal to the
    missing glyph of any style of any family that stands in for a table typeface,
    is taken for a box.
*/
class MissingGlyphDetector
{
public:
    MissingGlyphDetector()
    {
        for (const auto& name : getTableTypefaces())
            for (const auto& family : Fonts::findInstalledFamilies (name))
                for (const auto* style : { "Regular", "Bold" })
                    if (const auto typeface = Fonts::createTypeface (family, style))
                        addMissingGlyphOf (*typeface);
    }

    bool isBox (juce::Typeface& typeface, int glyphNumber) const
    {
        juce::Path outline;
        typeface.getOutlineForGlyph (glyphNumber, outline);

        if (outline.isEmpty())
            return true;

        for (const auto& missing : missingGlyphs)
            if (outline == missing)
                return true;

        return false;
    }

    /** The characters of the text, blanks aside, that the typeface draws as boxes,
        as code points in hexadecimal: empty when all show.
    */
    juce::String findBoxes (juce::Typeface& typeface, const juce::String& text) const
    {
        juce::Array<int> glyphs;
        juce::Array<float> offsets;
        typeface.getGlyphPositions (text, glyphs, offsets);

        if (glyphs.size() != text.length())
            return "glyph count " + juce::String (glyphs.size()) + " for " + juce::String (text.length()) + " characters";

        juce::StringArray boxes;

        for (int i = 0; i < glyphs.size(); ++i)
            if (! juce::CharacterFunctions::isWhitespace (text[i]) && isBox (typeface, glyphs[i]))
                boxes.add ("U+" + juce::String::toHexString ((int) text[i]).toUpperCase());

        return boxes.joinIntoString (" ");
    }

    size_t getNumMissingGlyphs() const   { return missingGlyphs.size(); }

private:
    void addMissingGlyphOf (juce::Typeface& typeface)
    {
        juce::Array<int> glyphs;
        juce::Array<float> offsets;
        typeface.getGlyphPositions (juce::String::charToString (0xffff), glyphs, offsets);

        juce::Path outline;

        if (glyphs.size() == 1 && typeface.getOutlineForGlyph (glyphs[0], outline) && ! outline.isEmpty())
            missingGlyphs.push_back (outline);
    }

    std::vector<juce::Path> missingGlyphs;
};

/** Renders like JUCE's software renderer and notes each glyph it draws with its font. */
class GlyphRecorder  : public juce::LowLevelGraphicsSoftwareRenderer
{
public:
    explicit GlyphRecorder (const juce::Image& image)  : juce::LowLevelGraphicsSoftwareRenderer (image) {}

    struct Glyph
    {
        juce::Font font;
        int number;
    };

    void drawGlyph (int glyphNumber, const juce::AffineTransform& t) override
    {
        glyphs.push_back ({ getFont(), glyphNumber });
        juce::LowLevelGraphicsSoftwareRenderer::drawGlyph (glyphNumber, t);
    }

    std::vector<Glyph> glyphs;
};

} // namespace fonts_test
