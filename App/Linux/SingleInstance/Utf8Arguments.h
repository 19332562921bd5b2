#pragma once

#include <juce_core/juce_core.h>

#include <string>
#include <vector>

//==============================================================================
/**
    Linux only: the program's command line as valid UTF-8, every byte that
    begins no valid UTF-8 sequence replaced by U+FFFD.

    Linux passes arguments as bytes, and a file name need not be UTF-8 (a
    launcher may pass one). JUCE decodes the arguments as UTF-8 unchecked, and
    writes past its buffer on some such bytes; the hand-over carries valid
    UTF-8 alone. So the entry repairs them once, before either sees them.
*/
class Utf8Arguments
{
public:
    Utf8Arguments (int argc, const char* const* argv);

    int getCount() const noexcept;

    /** As main's argv: the program's name, the arguments and a null pointer,
        valid while this object lives.
    */
    const char** getValues() noexcept;

    /** The arguments after the program's name, joined by blanks. */
    juce::String join() const;

private:
    std::vector<std::string> arguments;
    std::vector<const char*> values;

    JUCE_DECLARE_NON_COPYABLE (Utf8Arguments)
};
