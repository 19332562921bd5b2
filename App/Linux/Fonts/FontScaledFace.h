#pragma once

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/**
    Linux only: a typeface that draws another one larger, so that its em fills
    the font's height.

    JUCE fits a typeface's ascent plus descent into the font's height. The CJK
    typefaces of the language table have an ascent plus descent of about one em,
    so that at height 13 a character is 13 pixels wide; the CJK fonts installed
    here have looser line metrics (Noto Sans CJK about 1.45 em, NanumGothic about
    1.22 em), which would shrink their text below the other languages'. This face
    scales the outlines and advances, and keeps the ascent and descent, so lines,
    boxes and baselines stay where they are.
*/
class FontScaledFace  : public juce::Typeface
{
public:
    /** The typeface itself, or, when it draws CJK ideographs or Hangul narrower
        than nine tenths of the font's height, a face that scales them to the
        share of the height given (a full em at 1).
    */
    static juce::Typeface::Ptr fillEm (juce::Typeface::Ptr typeface, float emShare = 1.0f);

    FontScaledFace (juce::Typeface::Ptr original, float scale);

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
    const juce::Typeface::Ptr original;
    const float scale;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FontScaledFace)
};
