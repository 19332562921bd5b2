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
    maps to families of Debian's archive that JUCE can load (packaged as single
    fonts, or made visible by FontCollections), in order of preference, each
    covering the language that uses the name.
*/
namespace Fonts
{
    /** The families that stand in for a typeface name, in order of preference,
        installed or not. JUCE's default sans-serif placeholder maps to the families
        that cover Latin and Cyrillic text. A name that the table does not know is
        its own only candidate.
    */
    juce::StringArray getCandidateFamilies (const juce::String& typefaceName);

    /** The candidates of a typeface name that JUCE can load; empty when none is. */
    juce::StringArray findInstalledFamilies (const juce::String& typefaceName);

    /** True when JUCE knows a font file of this family. */
    bool isInstalled (const juce::String& family);

    /** True when the typeface draws a glyph of its own for the character rather
        than its missing-glyph shape (usually an empty box).

        JUCE's FreeType typefaces hand out the font's missing-glyph outline for any
        character the font lacks, so the check compares the character's outline
        with that of a code point that no font maps. Blanks count as covered.
    */
    bool drawsGlyphFor (juce::Typeface& typeface, juce::juce_wchar character);
}
