// The language list and the tables through which the loaders find the
// embedded resources.
#pragma once

#include <juce_core/juce_core.h>

// The languages in language-index order: the index selects the string table,
// the language name and the typeface everywhere.
constexpr juce::uint32 numLanguages = 12;
// The embedded images: only the warning icon.
constexpr juce::uint32 numImages = 1;

struct LangList
{
    juce::String code; // the language's code, such as "en" or "zh-Hant"
};

// One embedded resource, reached through its pointer variable and its length
// constant (see Binary.h).
struct ResourceRef
{
    const char** pointer;
    const int* length;
};

extern const LangList* const plangList;     // numLanguages entries
extern const ResourceRef* const ptextList;  // string tables, numLanguages entries by language index
extern const ResourceRef* const pimageList; // images, numImages entries: 0 is the warning icon
