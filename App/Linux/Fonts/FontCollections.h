#pragma once

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/**
    Linux only: the installed faces that cover Chinese, Japanese or Korean, as
    fontconfig lists them, read in place from their files.

    JUCE's font list takes .ttf, .otf, .pfb and .pcf files only, so it never sees
    the .ttc collections that Noto Sans CJK comes in (fonts-noto-cjk), nor any
    face but the first of a file. fontconfig's cache knows each installed face's
    family, file, number in its file, weight, spacing and languages without
    opening a font file: it is asked once, when a CJK face is first asked for
    (about a millisecond). The faces are opened here as FontCollectionFace
    typefaces, each once per process and only when first asked for. Any thread
    may call these functions.
*/
namespace FontCollections
{
    /** The families of the installed faces that cover the language, by
        fontconfig's name for it ("ko", "ja", "zh-cn" or "zh-tw"), in
        alphabetical order.
    */
    juce::StringArray getFamiliesCovering (const juce::String& language);

    /** True when fontconfig lists a face of the family that covers a CJK language. */
    bool hasFamily (const juce::String& family);

    /** False when the family draws a serif, monospaced or rounded design, as
        its name tells or as fontconfig lists a face of it: true for sans-serif
        families, listed or not.
    */
    bool isSansSerif (const juce::String& family);

    /** The family's face nearest to the style's weight ("Bold" or, for any
        other style, "Regular"). nullptr when no face of the family is listed,
        or when its file gives no line metrics.
    */
    juce::Typeface::Ptr createTypeface (const juce::String& family, const juce::String& style);

    /** Lets go of the faces opened so far, so that they end with the last
        typeface that holds them rather than outlive JUCE's leak detector at
        exit. A face asked for afterwards opens again.
    */
    void closeFaces();

    /** For tests: reads the faces listed in the installed file from the copy
        instead, opening them again; the installed file itself as the copy
        undoes it.
    */
    void readFacesFrom (const juce::File& installed, const juce::File& copy);

    /** Removes the copies of the collections that earlier versions of the
        program kept in the user's cache folder, KVXUpdateProgram/fonts in
        $XDG_CACHE_HOME (by default ~/.cache), and then the folders if they are
        empty. Touches no other file; a failure leaves things as they are.
    */
    void removeEarlierCopies();
}
