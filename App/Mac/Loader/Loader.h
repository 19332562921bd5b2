// The loaders of the embedded texts and images: process-wide singletons that the
// window content creates at its start (on Linux the application has made the text
// loader before, to open the start language's fonts early) and releases at its
// end, message thread only.
#pragma once

#include <juce_graphics/juce_graphics.h>

#include "Table.h"

// The section of a text table that a parse collects, and the one it is in.
enum FlgTable
{
    FlgNone = 0,
    FlgFontMac = 2,
    FlgLang = 3,
    FlgStr = 4
};

//==============================================================================
/**
    Every text the window shows: the typeface and the name of each language, and
    the 24 strings of the current language. It chooses the start language from the
    user's preferred languages.

    Text tables are UTF-8 with CR LF, LF or CR line ends. A line starting with ':'
    opens a section or, holding "EOF", ends the table; an empty line or one starting
    with '#' is skipped; any other line holds one double-quoted entry, in which
    \r, \n, \t, \" and \\ are escapes.
*/
class TxtLoader
{
public:
    static constexpr int numStrings = 24;
    // Line and entry buffers: longer lines are cut to lineBufferSize - 1 bytes.
    static constexpr int lineBufferSize = 2048;

    static void createInstance();
    // Creates the instance if there is none.
    static TxtLoader* getInstance();
    static void releaseInstance();

    virtual ~TxtLoader();

    //==============================================================================
    // Marks every language available and returns the start language's index: the
    // first preferred language whose canonical identifier begins with one of the
    // codes of the language list, else 0 (English).
    juce::uint32 chkLocale();

    // Switches to another language and parses its strings; the current one, or an
    // index that is no language, changes nothing.
    void setLocale(juce::uint32 index);
    juce::uint32 getLocale() const;
    bool isLocale(juce::uint32 index) const;

    // Out of range, these return an empty string.
    const juce::String& getFont() const;
    const juce::String& getFont(juce::uint32 index) const;
    const juce::String& getLang(juce::uint32 index) const;
    const juce::String& getString(juce::uint32 index) const;

    //==============================================================================
    // Parses the table whose data pointer and byte length are read through the two
    // pointers (a ResourceRef's fields) and writes the first max entries of section
    // to out[0...]. Elements beyond the entries found keep what they held. Reads no
    // byte outside the table.
    static void Load(const char** pointer, const int* length, FlgTable section, juce::String* out, int max);
    // The same over the string table of a language index.
    static void Load(juce::uint32 index, FlgTable section, juce::String* out, int max);
    // Copies the unescaped entry of one NUL-terminated entry line into entry, which
    // holds at least as many bytes as line. A line without a double quote gives an
    // empty entry.
    static void Read(const char* line, char* entry);

private:
    TxtLoader();

    juce::uint32 m_locale;
    juce::String m_empty;
    bool m_available[numLanguages] {};
    juce::String m_font[numLanguages];
    juce::String m_lang[numLanguages];
    juce::String m_string[numStrings];

    static TxtLoader* m_pinstance;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TxtLoader)
};

//==============================================================================
/**
    The embedded images, decoded once when the loader is created. Data that JUCE's
    decoders cannot read may still be an uncompressed 24- or 32-bit Windows bitmap
    with bottom-up rows, which the loader decodes itself.
*/
class ImageLoader
{
public:
    static void createInstance();
    // Creates the instance if there is none.
    static ImageLoader* getInstance();
    static void releaseInstance();

    virtual ~ImageLoader();

    // The decoded image, or null when the index is out of range or the image could
    // not be decoded. Valid until releaseInstance.
    juce::Image* getImage(juce::uint32 index) const;

    // Decodes the data whose pointer and byte length are read through the two
    // pointers into a new image (null when nothing could be decoded), held in
    // JUCE's image cache. The caller deletes *out.
    static void Load(const char** pointer, const int* length, juce::Image** out);
    // The same for entry index of the image list.
    static void Load(juce::uint32 index, juce::Image** out);

private:
    ImageLoader();

    juce::Image* m_image[numImages] {};

    static ImageLoader* m_pinstance;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ImageLoader)
};
