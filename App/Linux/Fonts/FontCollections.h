#pragma once

#include "FontCollectionFace.h"

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/**
    Linux only: every installed face that the window may draw with, as
    fontconfig's cache lists it, read in place from its file.

    fontconfig's cache knows each installed face's family, file, number in its
    file, weight, slant, width, spacing and languages without opening a font
    file. The folders of fontconfig's main file are read once, when a face is
    first asked for (about a millisecond), each folder through its cache, and
    each real folder once however many links lead to it. File names stay the
    bytes they are, and a family whose name is not UTF-8 is passed over. The
    faces are opened here as FontCollectionFace typefaces, each once per process
    and only when first asked for. Any thread may call these functions.
*/
namespace FontCollections
{
    /** The families of the installed faces that cover the language, by
        fontconfig's name for it ("ko", "ja", "zh-cn" or "zh-tw"), in
        alphabetical order.
    */
    juce::StringArray getFamiliesCovering (const juce::String& language);

    /** True when fontconfig lists a face of the family. */
    bool hasFamily (const juce::String& family);

    /** True when fontconfig lists a face of the family that covers Chinese,
        Japanese or Korean.
    */
    bool coversCjk (const juce::String& family);

    /** False when the family draws a serif, monospaced or rounded design, as
        its name tells or as fontconfig lists a face of it: true for sans-serif
        families, listed or not.
    */
    bool isSansSerif (const juce::String& family);

    /** The family's upright face of normal width nearest to the style's weight
        ("Bold" or, for any other style, "Regular"). nullptr when no face of the
        family is listed, or when its file gives no line metrics.
    */
    juce::Typeface::Ptr createTypeface (const juce::String& family, const juce::String& style,
                                        FontCollectionFace::Spacing spacing);

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
        empty. Touches no other file, and takes the names it reads as bytes; a
        failure leaves things as they are.
    */
    void removeEarlierCopies();
}
