#include "Utf8Arguments.h"

#include <cstdint>

namespace
{
const char* const replacementCharacter = "\xef\xbf\xbd";

// The length of the valid UTF-8 sequence at the text's start, 0 when none
// starts there: no overlong form, no surrogate, nothing past U+10FFFF. It reads
// no further than the first byte that is not a continuation, the final NUL too.
size_t findSequenceLength (const unsigned char* text)
{
    struct Form { unsigned char leadMask, lead; size_t length; std::uint32_t smallest; };
    static constexpr Form forms[] = { { 0x80, 0x00, 1, 0 }, { 0xe0, 0xc0, 2, 0x80 },
                                      { 0xf0, 0xe0, 3, 0x800 }, { 0xf8, 0xf0, 4, 0x10000 } };

    for (const auto& form : forms)
    {
        if ((text[0] & form.leadMask) != form.lead)
            continue;

        std::uint32_t codePoint = text[0] & (unsigned char) ~form.leadMask;

        for (size_t i = 1; i < form.length; ++i)
        {
            if ((text[i] & 0xc0) != 0x80)
                return 0;

            codePoint = (codePoint << 6) | (text[i] & 0x3fu);
        }

        const bool isSurrogate = codePoint >= 0xd800 && codePoint <= 0xdfff;
        return codePoint >= form.smallest && codePoint <= 0x10ffff && ! isSurrogate ? form.length : 0;
    }

    return 0;
}

// The text with each byte that begins no valid UTF-8 sequence replaced.
std::string repair (const char* text)
{
    std::string repaired;
    const auto* next = reinterpret_cast<const unsigned char*> (text);

    while (*next != 0)
    {
        const auto length = findSequenceLength (next);

        if (length == 0)
            repaired += replacementCharacter;
        else
            repaired.append (reinterpret_cast<const char*> (next), length);

        next += length == 0 ? 1 : length;
    }

    return repaired;
}
}

//==============================================================================
Utf8Arguments::Utf8Arguments (int argc, const char* const* argv)
{
    for (int i = 0; i < argc; ++i)
        arguments.push_back (repair (argv[i]));

    for (const auto& argument : arguments)
        values.push_back (argument.c_str());

    values.push_back (nullptr);
}

int Utf8Arguments::getCount() const noexcept
{
    return (int) arguments.size();
}

const char** Utf8Arguments::getValues() noexcept
{
    return values.data();
}

juce::String Utf8Arguments::join() const
{
    juce::StringArray joined;

    for (size_t i = 1; i < arguments.size(); ++i)
        joined.add (juce::String::fromUTF8 (arguments[i].c_str()));

    return joined.joinIntoString (" ");
}
