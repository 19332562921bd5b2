#pragma once

#include <ostream>

//==============================================================================
/**
    Linux only: JUCE's font scan kept to the names it can decode.

    JUCE lists the fonts of its folders (those that JUCE_FONT_PATH names, else
    the <dir> folders of fonts.conf) by walking them, and decodes every name it
    meets as UTF-8 unchecked, writing past its buffer on some other bytes: a
    font file named in Latin-1 in the user's own font folder would end the
    program. Where a folder holds such a name, JUCE is given, through
    JUCE_FONT_PATH, the folders below it that hold none instead, and the
    program says which folder it passes over.
*/
namespace FontFolders
{
    /** Call on the message thread before any font is used: it may set
        JUCE_FONT_PATH. The messages name each folder passed over.
    */
    void passOverUndecodableNames (std::ostream& messages);
}
