#pragma once

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/**
    Linux only: a typeface that draws another one at another size, so that
    every CJK face takes the same share of the font's height as its em.

    JUCE fits a typeface's ascent plus descent into the font's height, and the
    CJK fonts installed here differ in their line metrics (Noto Sans CJK about
    1.45 em, NanumGothic about 1.22 em, IPAPGothic one em): at the same height
    their characters would come out from 9 to 13 pixels wide, too small beside
    the Latin text or touching the next line. This face scales the outlines and
    advances, and keeps the ascent and descent, so lines, boxes and baselines
    stay where they are.
*/
class FontScaledFace  : public juce::Typeface
{
public:
    /** A CJK typeface whose em, the width of its ideographs or else of its
        Hangul, takes nine tenths of the font's height: the typeface itself when
        it does, else a face that scales it. nullptr when it draws none of them
        or their width is not a number above 0: a face whose em cannot be read
        is not used.
    */
    static juce::Typeface::Ptr fillEm (juce::Typeface::Ptr typeface);

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
