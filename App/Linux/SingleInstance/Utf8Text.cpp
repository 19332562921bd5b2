#include "Utf8Text.h"

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
}

//==============================================================================
bool Utf8Text::isValid (const char* text)
{
    for (const auto* next = reinterpret_cast<const unsigned char*> (text); *next != 0;)
    {
        const auto length = findSequenceLength (next);

        if (length == 0)
            return false;

        next += length;
    }

    return true;
}

std::string Utf8Text::repair (const char* text)
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
