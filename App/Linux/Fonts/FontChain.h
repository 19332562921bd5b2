#pragma once

#include <juce_graphics/juce_graphics.h>

#include <map>
#include <vector>

//==============================================================================
/**
    Linux only: a typeface that draws each character from the first of several
    installed families that has a glyph for it, so that JUCE's fallback typeface
    works on Linux as it does elsewhere.

    JUCE's FreeType typefaces never fall back: a character that the font lacks is
    drawn as the font's missing-glyph box. This chain tries, in order, its own
    families, then those that stand in for the fallback typeface in force at the
    time of the call (Font::getFallbackFontName), then the sans-serif families of
    Fonts. Since the fallback is read on every call rather than when JUCE
    caches the typeface, a font keeps following it: the language menu changes it
    for each item while the fonts it draws with stay the same.

    Glyph numbers name the member family as well as the member's own glyph, and a
    family has the same number in every chain of the process: JUCE caches glyphs
    and whole glyph arrangements by font and glyph number, and these outlive the
    typeface that made them.
*/
class FontChain  : public juce::Typeface
{
public:
    /** A chain for the font's name and style over its installed families, the
        first usable one of which gives the metrics. families must not be empty.
    */
    FontChain (const juce::Font& font, const juce::StringArray& families);
    ~FontChain() override;

    /** The family that draws the character in the present state of the fallback:
        the first that has a glyph for it, or the first family when none has.
    */
    juce::String getFamilyFor (juce::juce_wchar character);

    //==============================================================================
    float getAscent() const override;
    float getDescent() const override;
    float getHeightToPointsFactor() const override;
    float getStringWidth (const juce::String& text) override;
    void getGlyphPositions (const juce::String& text, juce::Array<int>& glyphs, juce::Array<float>& xOffsets) override;
    bool getOutlineForGlyph (int glyphNumber, juce::Path& path) override;
    juce::EdgeTable* getEdgeTableForGlyph (int glyphNumber, const juce::AffineTransform& transform,
                                           float fontHeight) override;

private:
    struct Run
    {
        int family;
        juce::String text;
    };

    juce::StringArray getChainFamilies() const;
    int findFamilyFor (juce::juce_wchar character, const juce::StringArray& chain);
    juce::Typeface* getMember (int family);
    std::vector<Run> splitIntoRuns (const juce::String& text);
    juce::Typeface* getMemberForGlyph (int glyphNumber, int& memberGlyph);

    const juce::StringArray ownFamilies;
    std::map<int, juce::Typeface::Ptr> members;   // by process-wide family number
    int primaryFamily = 0;
    juce::Typeface::Ptr primary;
    juce::CriticalSection lock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FontChain)
};
