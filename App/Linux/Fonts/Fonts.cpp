#include "Fonts.h"

#include "FontCollections.h"

namespace
{
    struct Substitute
    {
        const char* typefaceName;
        const char* families[3];
    };

    // Liberation Sans has Arial's metrics, so the Latin screens keep their line
    // breaks. Chinese takes Noto Sans CJK (fonts-noto-cjk), which has a bold face,
    // from its collections; the other CJK families are the ones Debian ships as
    // single .ttf files (fonts-ipafont-gothic, fonts-nanum, fonts-droid-fallback).
    // Droid Sans Fallback has no Latin letters: those come from the sans-serif
    // families through the typeface chain.
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

    // Hangul fills its em where ideographs leave a margin: at a full em, Korean
    // lines would touch. At nine tenths of the height it is still as large as
    // the Latin text (Liberation Sans, whose em is 0.895 of the height).
    const char* const koreanFamilies[] = { "NanumGothic", "NanumBarunGothic" };
    constexpr float koreanEmShare = 0.9f;

    struct HiddenFamilies
    {
        juce::CriticalSection lock;
        juce::StringArray families;
    };

    HiddenFamilies& getHiddenFamilies()
    {
        static HiddenFamilies hidden;
        return hidden;
    }

    bool isHidden (const juce::String& family)
    {
        auto& hidden = getHiddenFamilies();
        const juce::ScopedLock sl (hidden.lock);
        return hidden.families.contains (family);
    }

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
    return family.isNotEmpty() && ! isHidden (family)
        && (FontCollections::hasFamily (family) || ! juce::Font::findAllTypefaceStyles (family).isEmpty());
}

juce::Typeface::Ptr Fonts::createTypeface (const juce::String& family, const juce::String& style)
{
    if (auto typeface = FontCollections::createTypeface (family, style))
        return typeface;

    return juce::Font::getDefaultTypefaceForFont (juce::Font (family, style, 10.0f));
}

float Fonts::getEmShare (const juce::String& family)
{
    for (const auto* korean : koreanFamilies)
        if (family == korean)
            return koreanEmShare;

    return 1.0f;
}

void Fonts::hideFamilies (const juce::StringArray& families)
{
    auto& hidden = getHiddenFamilies();
    const juce::ScopedLock sl (hidden.lock);
    hidden.families = families;
}

bool Fonts::drawsGlyphFor (juce::Typeface& typeface, juce::juce_wchar character)
{
    const auto missingGlyph = getOutlineFor (typeface, unmappedCharacter);

    if (getOutlineFor (typeface, character) != missingGlyph)
        return true;

    // With an empty missing glyph, a blank and a gap look alike.
    return missingGlyph.isEmpty() && juce::CharacterFunctions::isWhitespace (character);
}
