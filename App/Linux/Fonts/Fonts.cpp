#include "Fonts.h"

#include "FontCollections.h"
#include "FontScaledFace.h"

#include <algorithm>
#include <map>

namespace
{
    struct Substitute
    {
        const char* typefaceName;
        const char* language;   // fontconfig's name of the CJK language, or nullptr
        const char* families[3];
    };

    // Liberation Sans has Arial's metrics, so the Latin screens keep their line
    // breaks. Each CJK language prefers a face that Debian ships for it, then
    // takes every other installed face that covers it (among them Noto Sans
    // CJK, which fonts-noto-cjk installs for every CJK language at once): the
    // sans-serif ones, Droid Sans Fallback, whose glyphs are the plainest,
    // last of them, and then the serif, monospaced and rounded ones, which
    // would change the look of the whole text, Latin letters included. The
    // Japanese face has no bold: Japanese headings draw plain. Faces without
    // Latin letters take them from the sans-serif families through the chain.
    const Substitute substitutes[] =
    {
        { "Arial",                       nullptr, { "Liberation Sans", "Arimo", "DejaVu Sans" } },
        { "Helvetica Neue",              nullptr, { "Liberation Sans", "DejaVu Sans", nullptr } },
        { "Heiti SC",                    "zh-cn", { "Noto Sans CJK SC", nullptr, nullptr } },
        { "Heiti TC",                    "zh-tw", { "Noto Sans CJK TC", nullptr, nullptr } },
        { "AppleGothic Regular",         "ko",    { "NanumGothic", "NanumBarunGothic", "Noto Sans CJK KR" } },
        { "Hiragino Maru Gothic Pro W4", "ja",    { "IPAPGothic", "IPAGothic", "Noto Sans CJK JP" } },
    };

    const char* const lastCjkFamily = "Droid Sans Fallback";

    // Latin with its accents, and Cyrillic; then JUCE's own choices for its
    // default sans-serif, for a machine that has none of these.
    const char* const sansSerifFamilies[] = { "Liberation Sans", "DejaVu Sans", "Verdana", "Bitstream Vera Sans",
                                              "Luxi Sans" };

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

    bool isLatinFamily (const juce::String& family)
    {
        static const auto latin = []
        {
            auto families = toStringArray (sansSerifFamilies, std::size (sansSerifFamilies));

            for (const auto& substitute : substitutes)
                if (substitute.language == nullptr)
                    families.addArray (toStringArray (substitute.families, std::size (substitute.families)));

            return families;
        }();

        return latin.contains (family);
    }

    bool isCjkFace (const juce::String& family)
    {
        return ! isLatinFamily (family) && FontCollections::coversCjk (family);
    }

    // Where no font is installed at all: a character is a glyph of nothing,
    // so that no layout asks the fallback typeface, which would be this again.
    struct BlankFace  : public juce::CustomTypeface
    {
        bool loadGlyphIfPossible (juce::juce_wchar character) override
        {
            addGlyph (character, {}, 0.0f);
            return true;
        }
    };

    juce::StringArray listFamiliesOf (const Substitute& substitute)
    {
        auto families = toStringArray (substitute.families, std::size (substitute.families));

        if (substitute.language != nullptr)
        {
            const auto preferred = families.size();
            families.mergeArray (FontCollections::getFamiliesCovering (substitute.language));
            families.removeString (lastCjkFamily);
            const auto* firstNotSans = std::stable_partition (families.begin() + preferred, families.end(),
                                                              FontCollections::isSansSerif);
            families.insert ((int) (firstNotSans - families.begin()), lastCjkFamily);
        }

        return families;
    }

    // Every text layout asks for them, and they stay as fontconfig first
    // answered: each list is made once.
    juce::StringArray getFamiliesOf (const Substitute& substitute)
    {
        static juce::CriticalSection lock;
        static std::map<const Substitute*, juce::StringArray> lists;
        const juce::ScopedLock sl (lock);
        auto list = lists.find (&substitute);

        if (list == lists.end())
            list = lists.emplace (&substitute, listFamiliesOf (substitute)).first;

        return list->second;
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
            return getFamiliesOf (substitute);

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
    return family.isNotEmpty() && ! isHidden (family) && FontCollections::hasFamily (family);
}

juce::Typeface::Ptr Fonts::createTypeface (const juce::String& family, const juce::String& style)
{
    if (isCjkFace (family))
        return FontScaledFace::fillEm (FontCollections::createTypeface (family, style, FontCollectionFace::Spacing::plain));

    return FontCollections::createTypeface (family, style, FontCollectionFace::Spacing::kerned);
}

juce::Typeface::Ptr Fonts::createDefaultTypeface (const juce::String& style)
{
    for (const auto& family : findInstalledFamilies (juce::Font::getDefaultSansSerifFontName()))
        if (auto typeface = createTypeface (family, style))
            return typeface;

    return new BlankFace();
}

void Fonts::hideFamilies (const juce::StringArray& families)
{
    auto& hidden = getHiddenFamilies();
    const juce::ScopedLock sl (hidden.lock);
    hidden.families = families;
}

bool Fonts::drawsGlyphFor (juce::Typeface& typeface, juce::juce_wchar character)
{
    if (juce::CharacterFunctions::isWhitespace (character))
        return true;

    // A glyph that the face could not load or outline is as good as missing.
    const auto outline = getOutlineFor (typeface, character);
    return ! outline.isEmpty() && outline != getOutlineFor (typeface, unmappedCharacter);
}
