#pragma once

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/**
    Linux only: which installed font families stand in for the typefaces that the
    text tables name.

    The tables name macOS typefaces ("Arial", "Heiti SC", ...) that a Linux machine
    does not have, and JUCE on Linux neither asks fontconfig for a substitute nor
    sees .ttc collections: it knows only the .ttf, .otf, .pfb and .pcf files under
    the folders of /etc/fonts/fonts.conf, by their exact family names. So each name
    maps to families in order of preference, each covering the language that
    uses the name: Latin fonts packaged as single files, which JUCE loads, and
    the CJK faces that fontconfig lists, which FontCollections reads.
*/
namespace Fonts
{
    /** The families that stand in for a typeface name, in order of preference,
        installed or not. JUCE's default sans-serif placeholder maps to the families
        that cover Latin and Cyrillic text. A name that the table does not know is
        its own only candidate.
    */
    juce::StringArray getCandidateFamilies (const juce::String& typefaceName);

    /** The candidates of a typeface name that are installed; empty when none is. */
    juce::StringArray findInstalledFamilies (const juce::String& typefaceName);

    /** True when fontconfig lists a CJK face of this family or JUCE knows a
        font file of it, and it is not hidden.
    */
    bool isInstalled (const juce::String& family);

    /** The installed family's typeface in the style, from the CJK faces that
        fontconfig lists or else from JUCE's fonts (in the regular style when
        the family has not this one). A CJK face comes scaled to a common em
        (FontScaledFace::fillEm), and is nullptr when it is damaged: without
        line metrics, or without an em that can be read.
    */
    juce::Typeface::Ptr createTypeface (const juce::String& family, const juce::String& style);

    /** Opens ahead of time the regular and bold faces that a CJK typeface
        name's text draws with first, so that its first layout finds them open.
        A Latin name opens nothing and asks fontconfig nothing.
    */
    void openFirstFacesOf (const juce::String& typefaceName);

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
