#pragma once

#include <string>

//==============================================================================
/**
    Linux only: bytes from outside the program (arguments, the environment)
    checked as UTF-8 before JUCE decodes them. JUCE decodes unchecked, and
    writes past its buffer on some bytes that are not UTF-8.
*/
namespace Utf8Text
{
    /** True when the text is valid UTF-8: no stray byte, no overlong form, no
        surrogate, nothing past U+10FFFF.
    */
    bool isValid (const char* text);

    /** The text with each byte that begins no valid UTF-8 sequence replaced by
        U+FFFD.
    */
    std::string repair (const char* text);
}
