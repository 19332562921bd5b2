#include "Table.h"

#include "Binary.h"

// Constructed before main runs, destroyed after it returns; the loaders use the
// list only while the window content lives.
static const LangList langList[numLanguages] = {
    { "en" }, { "fr" }, { "de" }, { "es" }, { "it" }, { "nl" },
    { "ru" }, { "pt" }, { "zh-Hans" }, { "zh-Hant" }, { "ko" }, { "ja" },
};

// In language-index order, which is not the order of the arrays in memory.
static const ResourceRef textList[numLanguages] = {
    { &english_txt_pointer, &english_txt_length },
    { &french_txt_pointer, &french_txt_length },
    { &german_txt_pointer, &german_txt_length },
    { &spanish_txt_pointer, &spanish_txt_length },
    { &italian_txt_pointer, &italian_txt_length },
    { &dutch_txt_pointer, &dutch_txt_length },
    { &russian_txt_pointer, &russian_txt_length },
    { &portuguese_txt_pointer, &portuguese_txt_length },
    { &simplified_chinese_txt_pointer, &simplified_chinese_txt_length },
    { &traditional_chinese_txt_pointer, &traditional_chinese_txt_length },
    { &korean_txt_pointer, &korean_txt_length },
    { &japanese_txt_pointer, &japanese_txt_length },
};

static const ResourceRef imageList[numImages] = {
    { &warning_png_pointer, &warning_png_length },
};

const LangList* const plangList = langList;
const ResourceRef* const ptextList = textList;
const ResourceRef* const pimageList = imageList;
