#include "FontScaledFace.h"

#include "Fonts.h"

namespace
{
    // CJK fonts draw ideographs and Hangul syllables one em wide; Korean fonts
    // may lack the ideographs.
    constexpr juce::juce_wchar fullWidthCharacters[] = { 0x56fd, 0xd55c };

    // Below this, a typeface's em is more than a tenth short of the height.
    constexpr float looseEm = 0.9f;
}

//==============================================================================
juce::Typeface::Ptr FontScaledFace::fillEm (juce::Typeface::Ptr typeface, float emShare)
{
    if (typeface == nullptr)
        return typeface;

    for (const auto character : fullWidthCharacters)
    {
        if (! Fonts::drawsGlyphFor (*typeface, character))
            continue;

        const auto em = typeface->getStringWidth (juce::String::charToString (character));
        return em > 0.0f && em < looseEm ? new FontScaledFace (typeface, emShare / em) : typeface;
    }

    return typeface;
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
