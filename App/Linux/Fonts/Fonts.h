#pragma once

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/**
    Linux only: which installed font families stand in for the typefaces that the
    text tables name.

    The tables name macOS typefaces ("Arial", "Heiti SC", ...) that a Linux machine
    does not have, and JUCE on Linux neither asks fontconfig for a substitute nor
    sees .ttc collections: it would scan every file of its font folders and match
    family names exactly. So each name maps to families in order of preference,
    each covering the language that uses the name, and every face comes from
    those that fontconfig lists (FontCollections): JUCE's own font list is never
    made.
*/
namespace Fonts
{
    /** The families that stand in for a typeface name, in order of preference,
        installed or not. JUCE's default sans-serif placeholder maps to the families
        that cover Latin and Cyrillic text, then to those that JUCE itself would
        take for it. A name that the table does not know is its own only candidate.
    */
    juce::StringArray getCandidateFamilies (const juce::String& typefaceName);

    /** The candidates of a typeface name that are installed; empty when none is. */
    juce::StringArray findInstalledFamilies (const juce::String& typefaceName);

    /** True when fontconfig lists a face of this family, and it is not hidden. */
    bool isInstalled (const juce::String& family);

    /** The installed family's typeface nearest to the style, or nullptr when it
        is damaged. A face that covers Chinese, Japanese or Korean comes scaled
        to a common em (FontScaledFace::fillEm), and is damaged too without an
        em that can be read; the others, the Latin ones among them, are spaced
        by their kerning tables, as JUCE's own typefaces are.
    */
    juce::Typeface::Ptr createTypeface (const juce::String& family, const juce::String& style);

    /** The first usable typeface of the default sans-serif's installed
        families in the style; with none, a typeface that draws nothing and
        asks no fallback, so that text keeps its place where no font is
        installed at all.
    */
    juce::Typeface::Ptr createDefaultTypeface (const juce::String& style);

    /** For tests: families to take as not installed, so that text draws through
        the next candidates whatever the machine has. None by default.
    */
    void hideFamilies (const juce::StringArray& families);

    /** True when the typeface draws a glyph of its own for the character rather
        than its missing-glyph shape (usually an empty box) or nothing: a glyph
        that it cannot load or outline counts as missing.

        JUCE's FreeType typefaces hand out the font's missing-glyph outline for any
        character the font lacks, so the check compares the character's outline
        with that of a code point that no font maps. Blanks count as covered.
    */
    bool drawsGlyphFor (juce::Typeface& typeface, juce::juce_wchar character);
}
