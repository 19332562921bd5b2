// Arbitrary bytes as a text table: parsing reads no byte outside the table and
// writes no entry beyond the ones asked for, whatever its lines, escapes,
// markers and encoding. Each section is collected into an array of exactly the
// size the program gives it, so that a write past it lands in a red zone.
#include "Loader.h"

#include <vector>

namespace
{

void collect(const char* table, int length, FlgTable section, int max)
{
    std::vector<juce::String> entries(static_cast<size_t>(max));
    TxtLoader::Load(&table, &length, section, entries.data(), max);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const auto* table = reinterpret_cast<const char*>(bytes);
    const int length = static_cast<int>(size);

    collect(table, length, FlgFontMac, static_cast<int>(numLanguages));
    collect(table, length, FlgLang, static_cast<int>(numLanguages));
    collect(table, length, FlgStr, TxtLoader::numStrings);
    return 0;
}
