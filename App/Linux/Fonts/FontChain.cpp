#include "FontChain.h"

#include "Fonts.h"

namespace
{
    // A glyph number holds the family's number above the member's own glyph
    // number, which for JUCE's FreeType typefaces is the character: every code
    // point fits.
    constexpr int memberGlyphBits = 21;
    constexpr int memberGlyphLimit = 1 << memberGlyphBits;
    constexpr int maxFamilyNumbers = 1 << (31 - memberGlyphBits);

    struct FamilyNumbers
    {
        juce::CriticalSection lock;
        juce::StringArray families;
    };

    FamilyNumbers& getFamilyNumbers()
    {
        static FamilyNumbers numbers;
        return numbers;
    }

    // Beyond the last number, families share the first: glyphs may come out
    // wrong, but every glyph number still names a family.
    int getFamilyNumber (const juce::String& family)
    {
        auto& numbers = getFamilyNumbers();
        const juce::ScopedLock sl (numbers.lock);
        const auto known = numbers.families.indexOf (family);

        if (known >= 0)
            return known;

        if (numbers.families.size() >= maxFamilyNumbers)
            return 0;

        numbers.families.add (family);
        return numbers.families.size() - 1;
    }

    juce::String getFamilyName (int number)
    {
        auto& numbers = getFamilyNumbers();
        const juce::ScopedLock sl (numbers.lock);
        return numbers.families[number];
    }

    int encodeGlyph (int family, int memberGlyph)
    {
        return (family << memberGlyphBits)
             | (juce::isPositiveAndBelow (memberGlyph, memberGlyphLimit) ? memberGlyph : 0);
    }

    // A member that cannot load a glyph asks JUCE's fallback typeface, which comes
    // through the look and may be a chain again, even this one. Such a nested call
    // finds nothing, so a member's glyph is always the member's own.
    thread_local int chainCallDepth = 0;

    struct ScopedChainCall
    {
        ScopedChainCall()       { ++chainCallDepth; }
        ~ScopedChainCall()      { --chainCallDepth; }

        bool isNested() const   { return chainCallDepth > 1; }

        JUCE_DECLARE_NON_COPYABLE (ScopedChainCall)
    };
}

//==============================================================================
FontChain::FontChain (const juce::Font& font, const juce::StringArray& families)
    : juce::Typeface (font.getTypefaceName(), font.getTypefaceStyle()),
      ownFamilies (families)
{
    jassert (! families.isEmpty());
    primaryFamily = getFamilyNumber (families[0]);

    for (const auto& family : families)
    {
        const auto number = getFamilyNumber (family);

        if (getMember (number) != nullptr)
        {
            primaryFamily = number;
            break;
        }
    }

    // With every family damaged, the default face keeps the text's place.
    if (members[primaryFamily] == nullptr)
        members[primaryFamily] = Fonts::createDefaultTypeface (font.getTypefaceStyle());

    primary = members[primaryFamily];
}

FontChain::~FontChain() = default;

juce::String FontChain::getFamilyFor (juce::juce_wchar character)
{
    const juce::ScopedLock sl (lock);
    const ScopedChainCall call;
    return getFamilyName (findFamilyFor (character, getChainFamilies()));
}

//==============================================================================
float FontChain::getAscent() const                 { return primary->getAscent(); }
float FontChain::getDescent() const                { return primary->getDescent(); }
float FontChain::getHeightToPointsFactor() const   { return primary->getHeightToPointsFactor(); }

float FontChain::getStringWidth (const juce::String& text)
{
    const juce::ScopedLock sl (lock);
    const ScopedChainCall call;
    float width = 0.0f;

    if (! call.isNested())
        for (const auto& run : splitIntoRuns (text))
            width += getMember (run.family)->getStringWidth (run.text);

    return width;
}

void FontChain::getGlyphPositions (const juce::String& text, juce::Array<int>& glyphs, juce::Array<float>& xOffsets)
{
    const juce::ScopedLock sl (lock);
    const ScopedChainCall call;
    xOffsets.add (0.0f);

    if (call.isNested())
        return;

    float x = 0.0f;

    for (const auto& run : splitIntoRuns (text))
    {
        juce::Array<int> runGlyphs;
        juce::Array<float> runOffsets;
        getMember (run.family)->getGlyphPositions (run.text, runGlyphs, runOffsets);

        for (int i = 0; i < runGlyphs.size(); ++i)
        {
            glyphs.add (encodeGlyph (run.family, runGlyphs[i]));
            xOffsets.add (x + runOffsets[i + 1]);
        }

        x += runOffsets[runGlyphs.size()];
    }
}

bool FontChain::getOutlineForGlyph (int glyphNumber, juce::Path& path)
{
    const juce::ScopedLock sl (lock);
    const ScopedChainCall call;
    int memberGlyph = 0;

    if (auto* member = call.isNested() ? nullptr : getMemberForGlyph (glyphNumber, memberGlyph))
        return member->getOutlineForGlyph (memberGlyph, path);

    return false;
}

juce::EdgeTable* FontChain::getEdgeTableForGlyph (int glyphNumber, const juce::AffineTransform& transform,
                                                       float fontHeight)
{
    const juce::ScopedLock sl (lock);
    const ScopedChainCall call;
    int memberGlyph = 0;

    if (auto* member = call.isNested() ? nullptr : getMemberForGlyph (glyphNumber, memberGlyph))
        return member->getEdgeTableForGlyph (memberGlyph, transform, fontHeight);

    return nullptr;
}

//==============================================================================
juce::StringArray FontChain::getChainFamilies() const
{
    auto chain = ownFamilies;
    chain.mergeArray (Fonts::findInstalledFamilies (juce::Font::getFallbackFontName()));
    chain.mergeArray (Fonts::findInstalledFamilies (juce::Font::getDefaultSansSerifFontName()));
    return chain;
}

int FontChain::findFamilyFor (juce::juce_wchar character, const juce::StringArray& chain)
{
    for (const auto& family : chain)
    {
        const auto number = getFamilyNumber (family);
        auto* member = getMember (number);

        if (member != nullptr && Fonts::drawsGlyphFor (*member, character))
            return number;
    }

    return primaryFamily;
}

// A family whose face is damaged stays in the map as nullptr: it is not opened again.
juce::Typeface* FontChain::getMember (int family)
{
    auto member = members.find (family);

    if (member == members.end())
        member = members.emplace (family, Fonts::createTypeface (getFamilyName (family), getStyle())).first;

    return member->second.get();
}

std::vector<FontChain::Run> FontChain::splitIntoRuns (const juce::String& text)
{
    const auto chain = getChainFamilies();
    std::vector<Run> runs;

    for (auto t = text.getCharPointer(); ! t.isEmpty();)
    {
        const auto character = t.getAndAdvance();
        const auto family = findFamilyFor (character, chain);

        if (runs.empty() || runs.back().family != family)
            runs.push_back ({ family, {} });

        runs.back().text += character;
    }

    return runs;
}

juce::Typeface* FontChain::getMemberForGlyph (int glyphNumber, int& memberGlyph)
{
    const auto family = glyphNumber >> memberGlyphBits;

    if (glyphNumber < 0 || getFamilyName (family).isEmpty())
        return nullptr;

    memberGlyph = glyphNumber & (memberGlyphLimit - 1);
    return getMember (family);
}
