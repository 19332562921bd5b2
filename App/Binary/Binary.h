// The data embedded in the program: the language table, one string table per
// language and the warning icon. Each resource is a constant byte block without
// a terminating NUL of its own: read it by its length. The definitions are
// generated at build time from the files of this folder (EmbedResource.cmake).
#pragma once

#define KVX_DECLARE_RESOURCE(name)          \
    extern const char name##_array[];       \
    extern const char* name##_pointer;      \
    extern const int name##_length;

KVX_DECLARE_RESOURCE(dutch_txt)
KVX_DECLARE_RESOURCE(english_txt)
KVX_DECLARE_RESOURCE(french_txt)
KVX_DECLARE_RESOURCE(german_txt)
KVX_DECLARE_RESOURCE(italian_txt)
KVX_DECLARE_RESOURCE(japanese_txt)
KVX_DECLARE_RESOURCE(korean_txt)
KVX_DECLARE_RESOURCE(language_txt)
KVX_DECLARE_RESOURCE(portuguese_txt)
KVX_DECLARE_RESOURCE(russian_txt)
KVX_DECLARE_RESOURCE(simplified_chinese_txt)
KVX_DECLARE_RESOURCE(spanish_txt)
KVX_DECLARE_RESOURCE(traditional_chinese_txt)
KVX_DECLARE_RESOURCE(warning_png)

#undef KVX_DECLARE_RESOURCE
