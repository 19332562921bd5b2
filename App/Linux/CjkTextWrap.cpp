#include "CjkTextWrap.h"

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

    // CJK punctuation, which never starts a line.
    bool isCjkPunctuation (juce::juce_wchar c)
    {
        return (c >= 0x3000 && c <= 0x303f) || (c >= 0xff00 && c <= 0xff65);
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

    bool mayBreakBetween (juce::juce_wchar before, juce::juce_wchar after)
    {
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
