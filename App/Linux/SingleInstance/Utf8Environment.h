#pragma once

#include <ostream>

//==============================================================================
/**
    Linux only: the environment variables that JUCE decodes, made safe for it
    before anything reads them.

    JUCE decodes HOME and its font scan's JUCE_FONT_PATH and XDG_DATA_HOME as
    UTF-8 unchecked, as it does the program's font folders, FONTCONFIG_FILE
    and XDG_CACHE_HOME, and writes past its buffer on some other bytes. The
    program runs without such a value, and says so.

    A home that is not UTF-8 is replaced by one that does not exist, rather than
    removed: without HOME JUCE would take the account's home, which need not be
    UTF-8 either. The program then reads no preferences and no fonts from it.
    A working folder that is not is left for the root folder.
*/
namespace Utf8Environment
{
    /** Drops each value that is not UTF-8, with a line about it on the stream. */
    void dropValuesJuceCannotDecode (std::ostream& messages);
}
