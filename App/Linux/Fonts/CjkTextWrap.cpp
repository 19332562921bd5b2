#include "CjkTextWrap.h"

#include <algorithm>
#include <iterator>

namespace
{
    // Kana and ideographs: a line may break before or after each of them.
    bool isCjkLetter (juce::juce_wchar c)
    {
        return c >= 0x3040 && c <= 0x9fff;
    }

    // Korean breaks lines between words, at blanks.
    bool isHangul (juce::juce_wchar c)
    {
        return c >= 0xac00 && c <= 0xd7a3;
    }

    // CJK punctuation: blocks of it, and the opening brackets among them.
    bool isCjkPunctuation (juce::juce_wchar c)
    {
        return (c >= 0x3000 && c <= 0x303f) || (c >= 0xff00 && c <= 0xff65);
    }

    bool isOpeningBracket (juce::juce_wchar c)
    {
        constexpr juce::juce_wchar openingBrackets[] = { 0x3008, 0x300a, 0x300c, 0x300e, 0x3010, 0x3014, 0x3016,
                                                         0x3018, 0x301a, 0x301d, 0xff08, 0xff3b, 0xff5b, 0xff5f,
                                                         0xff62 };
        return std::find (std::begin (openingBrackets), std::end (openingBrackets), c) != std::end (openingBrackets);
    }

    bool hasCjkCharacters (const juce::String& text)
    {
        for (auto t = text.getCharPointer(); ! t.isEmpty();)
        {
            const auto c = t.getAndAdvance();

            if (isCjkLetter (c) || isHangul (c) || isCjkPunctuation (c))
                return true;
        }

        return false;
    }

    // An opening bracket may start a line and never ends one; the rest of CJK
    // punctuation may end a line and never starts one.
    bool mayBreakBetween (juce::juce_wchar before, juce::juce_wchar after)
    {
        if (isOpeningBracket (before))
            return false;

        if (isOpeningBracket (after))
            return true;

        return ! isCjkPunctuation (after)
            && (juce::CharacterFunctions::isWhitespace (before) || isCjkLetter (before) || isCjkLetter (after));
    }

    // Moves the glyphs of one line onto lines no wider than width: each breaks at
    // its last break opportunity, or at the glyph that overflows when it has none.
    void wrapLines (juce::GlyphArrangement& glyphs, float width, float lineHeight)
    {
        int lineStart = 0;
        int lastBreak = 0;

        for (int i = 1; i < glyphs.getNumGlyphs(); ++i)
        {
            if (mayBreakBetween (glyphs.getGlyph (i - 1).getCharacter(), glyphs.getGlyph (i).getCharacter()))
                lastBreak = i;

            const auto& glyph = glyphs.getGlyph (i);

            if (glyph.isWhitespace() || glyph.getRight() - glyphs.getGlyph (lineStart).getLeft() <= width)
                continue;

            lineStart = lastBreak > lineStart ? lastBreak : i;
            const auto toLineStart = glyphs.getGlyph (0).getLeft() - glyphs.getGlyph (lineStart).getLeft();
            glyphs.moveRangeOfGlyphs (lineStart, -1, toLineStart, lineHeight);
        }
    }
}

//==============================================================================
bool CjkTextWrap::addWrapped (juce::GlyphArrangement& glyphs, const juce::Font& font, const juce::String& text,
                              juce::Rectangle<float> box, int maximumLines)
{
    const auto trimmed = text.trim();

    if (maximumLines <= 1 || ! hasCjkCharacters (trimmed) || font.getStringWidthFloat (trimmed) <= box.getWidth())
        return false;

    juce::GlyphArrangement wrapped;
    wrapped.addLineOfText (font, trimmed, box.getX(), box.getY() + font.getAscent());
    wrapLines (wrapped, box.getWidth(), font.getHeight());

    if (wrapped.getBoundingBox (0, -1, true).getHeight() > font.getHeight() * (float) maximumLines + 0.01f)
        return false;

    glyphs.addGlyphArrangement (wrapped);
    return true;
}
