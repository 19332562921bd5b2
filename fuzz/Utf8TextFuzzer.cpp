// Arbitrary bytes as outside text and as a command line: the strict UTF-8
// check agrees with a reference of the harness's own on every text, a repaired
// text is valid and keeps every valid sequence byte for byte, and the repaired
// arguments are exactly the repaired texts, which JUCE then decodes intact.
#include "Utf8Arguments.h"
#include "Utf8Text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

[[noreturn]] void fail(const std::string& what, const std::string& text)
{
    std::string bytes;
    for (unsigned char byte : text)
        bytes += "\\x" + std::string(1, "0123456789abcdef"[byte >> 4]) + "0123456789abcdef"[byte & 15];
    std::fprintf(stderr, "broken: %s for \"%s\"\n", what.c_str(), bytes.c_str());
    std::abort();
}

// The length of the well-formed sequence at the start of the text, 0 when none
// starts there. Written from the table of well-formed byte sequences rather
// than by decoding, so that it shares no reasoning with the code it checks:
// each lead byte allows its own range for the second byte, which is where
// overlong forms, surrogates and values past U+10FFFF are shut out.
size_t referenceSequenceLength(const unsigned char* text)
{
    struct Row { unsigned char leadFrom, leadTo, secondFrom, secondTo; size_t length; };
    static constexpr Row table[] = {
        { 0x00, 0x7f, 0x00, 0x00, 1 }, { 0xc2, 0xdf, 0x80, 0xbf, 2 }, { 0xe0, 0xe0, 0xa0, 0xbf, 3 },
        { 0xe1, 0xec, 0x80, 0xbf, 3 }, { 0xed, 0xed, 0x80, 0x9f, 3 }, { 0xee, 0xef, 0x80, 0xbf, 3 },
        { 0xf0, 0xf0, 0x90, 0xbf, 4 }, { 0xf1, 0xf3, 0x80, 0xbf, 4 }, { 0xf4, 0xf4, 0x80, 0x8f, 4 },
    };

    for (const auto& row : table)
    {
        if (text[0] < row.leadFrom || text[0] > row.leadTo)
            continue;
        if (row.length == 1)
            return 1;
        if (text[1] < row.secondFrom || text[1] > row.secondTo)
            return 0;
        for (size_t i = 2; i < row.length; ++i)
            if (text[i] < 0x80 || text[i] > 0xbf)
                return 0;
        return row.length;
    }

    return 0;
}

bool referenceIsValid(const std::string& text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.c_str());

    for (size_t at = 0; at < text.size();)
    {
        const size_t length = referenceSequenceLength(bytes + at);
        if (length == 0)
            return false;
        at += length;
    }

    return true;
}

std::string referenceRepair(const std::string& text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.c_str());
    std::string repaired;

    for (size_t at = 0; at < text.size();)
    {
        const size_t length = referenceSequenceLength(bytes + at);
        repaired += length == 0 ? std::string("\xef\xbf\xbd") : text.substr(at, length);
        at += length == 0 ? 1 : length;
    }

    return repaired;
}

void checkText(const std::string& text)
{
    const bool valid = referenceIsValid(text);
    if (Utf8Text::isValid(text.c_str()) != valid)
        fail(valid ? "valid text refused" : "invalid text taken", text);

    const auto repaired = Utf8Text::repair(text.c_str());
    if (! referenceIsValid(repaired))
        fail("the repair is not valid", text);
    if (valid && repaired != text)
        fail("valid text changed by the repair", text);
    if (repaired != referenceRepair(text))
        fail("the repair replaced other bytes than those that begin no valid sequence", text);
}

// As main receives them: each argument ends at a NUL.
std::vector<std::string> argumentsIn(const std::string& bytes)
{
    std::vector<std::string> arguments;
    for (size_t start = 0; start <= bytes.size();)
    {
        const size_t end = std::min(bytes.find('\0', start), bytes.size());
        arguments.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

void checkArguments(const std::vector<std::string>& arguments)
{
    std::vector<const char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);

    Utf8Arguments repaired((int) arguments.size(), argv.data());
    if (repaired.getCount() != (int) arguments.size() || repaired.getValues()[arguments.size()] != nullptr)
        fail("the repaired command line has another length", arguments.front());

    std::string joined;
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        const auto expected = Utf8Text::repair(arguments[i].c_str());
        if (expected != repaired.getValues()[i])
            fail("an argument repaired otherwise than its text", arguments[i]);
        if (i > 0)
            joined += (i > 1 ? " " : "") + expected;
    }

    if (repaired.join().toStdString() != joined)
        fail("the joined arguments differ from the repaired ones", joined);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto arguments = argumentsIn(bytes);

    for (const auto& text : arguments)
        checkText(text);

    checkArguments(arguments);
    return 0;
}
