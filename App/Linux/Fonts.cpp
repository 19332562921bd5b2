#include "Fonts.h"

namespace
{
    struct Substitute
    {
        const char* typefaceName;
        const char* families[3];
    };

    // Liberation Sans has Arial's metrics, so the Latin screens keep their line
    // breaks. Chinese takes Noto Sans CJK (fonts-noto-cjk), which has a bold face,
    // once FontCollections has made it visible; the other CJK families are
    // the ones Debian ships as single .ttf files (fonts-ipafont-gothic,
    // fonts-nanum, fonts-droid-fallback). Droid Sans Fallback has no Latin
    // letters: those come from the sans-serif families through the typeface chain.
    const Substitute substitutes[] =
    {
        { "Arial",                       { "Liberation Sans", "Arimo", "DejaVu Sans" } },
        { "Helvetica Neue",              { "Liberation Sans", "DejaVu Sans", nullptr } },
        { "Heiti SC",                    { "Noto Sans CJK SC", "Droid Sans Fallback", nullptr } },
        { "Heiti TC",                    { "Noto Sans CJK TC", "Droid Sans Fallback", nullptr } },
        { "AppleGothic Regular",         { "NanumGothic", "NanumBarunGothic", "Droid Sans Fallback" } },
        { "Hiragino Maru Gothic Pro W4", { "IPAPGothic", "IPAGothic", "Droid Sans Fallback" } },
    };

    // Latin with its accents, and Cyrillic.
    const char* const sansSerifFamilies[] = { "Liberation Sans", "DejaVu Sans" };

    juce::StringArray toStringArray (const char* const* families, size_t count)
    {
        juce::StringArray result;

        for (size_t i = 0; i < count; ++i)
            if (families[i] != nullptr)
                result.add (families[i]);

        return result;
    }

    juce::Path getOutlineFor (juce::Typeface& typeface, juce::juce_wchar character)
    {
        juce::Array<int> glyphs;
        juce::Array<float> offsets;
        typeface.getGlyphPositions (juce::String::charToString (character), glyphs, offsets);

        juce::Path outline;

        if (glyphs.size() == 1)
            typeface.getOutlineForGlyph (glyphs.getFirst(), outline);

        return outline;
    }

    // A noncharacter, which no font maps: it gets the font's missing glyph.
    constexpr juce::juce_wchar unmappedCharacter = 0xffff;
}

//==============================================================================
juce::StringArray Fonts::getCandidateFamilies (const juce::String& typefaceName)
{
    if (typefaceName == juce::Font::getDefaultSansSerifFontName())
        return toStringArray (sansSerifFamilies, std::size (sansSerifFamilies));

    for (const auto& substitute : substitutes)
        if (typefaceName == substitute.typefaceName)
            return toStringArray (substitute.families, std::size (substitute.families));

    return juce::StringArray (typefaceName);
}

juce::StringArray Fonts::findInstalledFamilies (const juce::String& typefaceName)
{
    juce::StringArray installed;

    for (const auto& family : getCandidateFamilies (typefaceName))
        if (isInstalled (family))
            installed.add (family);

    return installed;
}

bool Fonts::isInstalled (const juce::String& family)
{
    return family.isNotEmpty() && ! juce::Font::findAllTypefaceStyles (family).isEmpty();
}

bool Fonts::drawsGlyphFor (juce::Typeface& typeface, juce::juce_wchar character)
{
    const auto missingGlyph = getOutlineFor (typeface, unmappedCharacter);

    if (getOutlineFor (typeface, character) != missingGlyph)
        return true;

    // With an empty missing glyph, a blank and a gap look alike.
    return missingGlyph.isEmpty() && juce::CharacterFunctions::isWhitespace (character);
}
