#pragma once

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/**
    Linux only: the Chinese faces of Debian's Noto Sans CJK, read in place from
    its collections.

    JUCE's font list takes .ttf, .otf, .pfb and .pcf files only, so it never sees
    the .ttc collections that Noto Sans CJK comes in (fonts-noto-cjk). Their
    faces are opened here, one by one and only when a text first needs them,
    as FontCollectionFace typefaces.
*/
namespace FontCollections
{
    /** True when a collection holds a face of the family, one of those that the
        text tables' Chinese typefaces stand for. Opens the collections' faces
        the first time it is asked for a family.
    */
    bool hasFamily (const juce::String& family);

    /** The family's face in the style ("Bold" or, for any other style, "Regular"),
        or nullptr when no collection has it.
    */
    juce::Typeface::Ptr createTypeface (const juce::String& family, const juce::String& style);

    /** Removes the copies of the collections that earlier versions of the
        program kept in the user's cache folder, KVXUpdateProgram/fonts in
        $XDG_CACHE_HOME (by default ~/.cache), and then the folders if they are
        empty. Touches no other file; a failure leaves things as they are.
    */
    void removeEarlierCopies();
}
