#include "FontScaledFace.h"

#include "Fonts.h"

namespace
{
    // CJK fonts draw ideographs one em wide, and Hangul syllables one em or, in
    // Noto Sans CJK, 0.92 em wide; Korean fonts may lack the ideographs. Of each
    // a few from far apart in the fonts, so that a damaged face still shows its em.
    const juce::String emCharacters = juce::String::fromUTF8 ("\u56fd\u4e2d\u6587\u8a9e\u9ad8\ud55c\uad6d\uc5b4");

    // Hangul fills its em where ideographs leave a margin, and ideographs reach
    // nearly to its top and bottom: at a full em of the height, lines touch. At
    // nine tenths they keep a blank row between them and are still as large as
    // the Latin text (Liberation Sans, whose em is 0.895 of the height).
    constexpr float emShare = 0.9f;

    // The em in units of the height, from the first of the characters that the
    // face draws; 0 when it draws none.
    float measureEm (juce::Typeface& typeface)
    {
        for (const auto character : emCharacters)
            if (Fonts::drawsGlyphFor (typeface, character))
                return typeface.getStringWidth (juce::String::charToString (character));

        return 0.0f;
    }
}

//==============================================================================
juce::Typeface::Ptr FontScaledFace::fillEm (juce::Typeface::Ptr typeface)
{
    if (typeface == nullptr)
        return nullptr;

    const auto em = measureEm (*typeface);

    if (! (em > 0.0f))
        return nullptr;

    return juce::approximatelyEqual (em, emShare) ? typeface : new FontScaledFace (typeface, emShare / em);
}

FontScaledFace::FontScaledFace (juce::Typeface::Ptr originalToUse, float scaleToUse)
    : juce::Typeface (originalToUse->getName(), originalToUse->getStyle()),
      original (originalToUse),
      scale (scaleToUse)
{
}

//==============================================================================
float FontScaledFace::getAscent() const                { return original->getAscent(); }
float FontScaledFace::getDescent() const               { return original->getDescent(); }
float FontScaledFace::getHeightToPointsFactor() const  { return original->getHeightToPointsFactor(); }

float FontScaledFace::getStringWidth (const juce::String& text)
{
    return scale * original->getStringWidth (text);
}

void FontScaledFace::getGlyphPositions (const juce::String& text, juce::Array<int>& glyphs,
                                             juce::Array<float>& xOffsets)
{
    const auto first = xOffsets.size();
    original->getGlyphPositions (text, glyphs, xOffsets);

    for (int i = first; i < xOffsets.size(); ++i)
        xOffsets.getReference (i) *= scale;
}

bool FontScaledFace::getOutlineForGlyph (int glyphNumber, juce::Path& path)
{
    if (! original->getOutlineForGlyph (glyphNumber, path))
        return false;

    path.applyTransform (juce::AffineTransform::scale (scale));
    return true;
}

// JUCE's default would hint the outline vertically from the face's own Latin
// letters, and a face without them (Droid Sans Fallback) comes out with no
// bounds and draws nothing: the original draws as it would unscaled.
juce::EdgeTable* FontScaledFace::getEdgeTableForGlyph (int glyphNumber, const juce::AffineTransform& transform,
                                                       float fontHeight)
{
    return original->getEdgeTableForGlyph (glyphNumber, juce::AffineTransform::scale (scale).followedBy (transform),
                                           fontHeight);
}
