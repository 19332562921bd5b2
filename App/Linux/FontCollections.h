#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/**
    Linux only: makes the Chinese faces of Debian's Noto Sans CJK visible to JUCE.

    JUCE scans its font folders once, at the first text layout, for .ttf, .otf,
    .pfb and .pcf files only, so it skips the .ttc collections that Noto Sans CJK
    comes in; FreeType itself opens a collection whatever its file is called.
    Each collection holds ten faces (Japanese, Korean, Chinese, monospaced) that
    take FreeType about 0.7 ms each to open, which JUCE's scan would add to every
    start. So a folder of our own holds, as .otf files, copies of the collections
    whose face list names only the faces the text tables need; the font data is
    the original's, byte for byte. The folder goes first into JUCE_FONT_PATH,
    followed by the folders that JUCE would scan without that variable.
*/
namespace FontCollections
{
    /** The collections as Debian installs them (fonts-noto-cjk), regular and bold. */
    juce::Array<juce::File> getInstalledCollections();

    /** The program's own folder for the copies: KVXUpdateProgram/fonts in the
        user's cache folder ($XDG_CACHE_HOME, by default ~/.cache).
    */
    juce::File getUserFolder();

    /** Brings the folder's copies up to date with the collections (a missing or
        unreadable collection loses its copy) and, when any copy is there, puts
        the folder into JUCE_FONT_PATH. Call it before the first text layout.
        Returns false, leaving JUCE_FONT_PATH alone, when no copy could be made:
        JUCE then sees the fonts it sees without it.
    */
    bool expose (const juce::File& folder, const juce::Array<juce::File>& collections = getInstalledCollections());
}
