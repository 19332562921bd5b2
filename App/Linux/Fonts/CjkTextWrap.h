#pragma once

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/**
    Line breaks for Chinese, Japanese and Korean text.

    GlyphArrangement::addFittedText breaks lines at blanks and hyphens only, so a
    CJK text too wide for its box comes out squeezed as far as the next hyphen,
    however many lines the box has room for. Wrapped here, lines break at blanks
    and next to kana and ideographs (never after an opening bracket nor before
    other CJK punctuation, never within a Latin word or, as Korean spaces its
    words, a Korean one), and at the overflowing character only when a line
    has no such place.
*/
namespace CjkTextWrap
{
    /** Adds the text on lines at most the box's width, its first baseline the
        font's ascent below the box's top, one font height apart. Adds nothing
        and returns false, for the caller to lay the text out otherwise, when the
        text has no CJK character, fits on one line, or would need more lines
        than maximumLines (or the box has one line only).
    */
    bool addWrapped (juce::GlyphArrangement& glyphs, const juce::Font& font, const juce::String& text,
                     juce::Rectangle<float> box, int maximumLines);
}
