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
    maps to families of Debian's archive, in order of preference, each covering
    the language that uses the name: fonts packaged as single files, which JUCE
    loads, and the Chinese faces of collections, which FontCollections reads.
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

    /** True when JUCE knows a font file of this family or a collection holds it,
        and it is not hidden.
    */
    bool isInstalled (const juce::String& family);

    /** The installed family's typeface in the style, from a collection or else
        from JUCE's fonts (in the regular style when it has not this one).
    */
    juce::Typeface::Ptr createTypeface (const juce::String& family, const juce::String& style);

    /** The share of the font's height that the family's CJK characters take as
        their width: a full height for Chinese and Japanese, as the language
        table's typefaces have; less for Korean, whose Hangul fills its em, so
        that its lines do not touch.
    */
    float getEmShare (const juce::String& family);

    /** For tests: families to take as not installed, so that text draws through
        the next candidates whatever the machine has. None by default.
    */
    void hideFamilies (const juce::StringArray& families);

    /** True when the typeface draws a glyph of its own for the character rather
        than its missing-glyph shape (usually an empty box).

        JUCE's FreeType typefaces hand out the font's missing-glyph outline for any
        character the font lacks, so the check compares the character's outline
        with that of a code point that no font maps. Blanks count as covered.
    */
    bool drawsGlyphFor (juce::Typeface& typeface, juce::juce_wchar character);
}
