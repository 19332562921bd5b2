#include "Loader.h"

#include "Binary.h"

#include <CoreFoundation/CoreFoundation.h>

#include <algorithm>
#include <cstring>

//==============================================================================
// Text tables

// Copies the line that starts at start into line, cut to lineBufferSize - 1 bytes
// and NUL-terminated, and returns where it ends: at its CR or LF, or at end.
static const char* copyLine(const char* start, const char* end, char* line)
{
    const char* lineEnd = start;
    while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n')
        ++lineEnd;

    const auto length = std::min<size_t>((size_t) (lineEnd - start), TxtLoader::lineBufferSize - 1);
    std::memcpy(line, start, length);
    line[length] = '\0';
    return lineEnd;
}

// Where the next line starts: a CR LF or LF CR pair is one line end.
static const char* skipLineEnd(const char* lineEnd, const char* end)
{
    if (lineEnd == end)
        return end;

    const char* next = lineEnd + 1;
    if (next < end && (*next == '\r' || *next == '\n') && *next != *lineEnd)
        ++next;
    return next;
}

// The section that a marker line opens; the first name found decides.
static FlgTable sectionOf(const char* marker)
{
    if (std::strstr(marker, "FONT_MAC") != nullptr)
        return FlgFontMac;
    if (std::strstr(marker, "LANG") != nullptr)
        return FlgLang;
    if (std::strstr(marker, "STR") != nullptr)
        return FlgStr;
    return FlgNone;
}

static bool isEndMarker(const char* marker)
{
    return std::strstr(marker, "EOF") != nullptr;
}

// The character that a backslash and c stand for, or NUL when they are no escape.
static char unescaped(char c)
{
    switch (c)
    {
        case 'r':  return '\r';
        case 'n':  return '\n';
        case 't':  return '\t';
        case '"':  return '"';
        case '\\': return '\\';
        default:   return '\0';
    }
}

// A multi-byte UTF-8 sequence by its lead byte: its length and the range of its
// second byte, which rules out overlong forms, surrogates and values above
// U+10FFFF (RFC 3629). A length of 0: no sequence starts with that byte.
struct SequenceShape
{
    int length;
    unsigned char low, high;
};

static SequenceShape shapeOf(unsigned char lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)   return { 2, 0x80, 0xBF };
    if (lead == 0xE0)                   return { 3, 0xA0, 0xBF };
    if (lead == 0xED)                   return { 3, 0x80, 0x9F };
    if (lead >= 0xE1 && lead <= 0xEF)   return { 3, 0x80, 0xBF };
    if (lead == 0xF0)                   return { 4, 0x90, 0xBF };
    if (lead >= 0xF1 && lead <= 0xF3)   return { 4, 0x80, 0xBF };
    if (lead == 0xF4)                   return { 4, 0x80, 0x8F };
    return { 0, 0, 0 };
}

// The length of the well-formed UTF-8 sequence at the start of a NUL-terminated
// text, or 0 when none starts there. Reads no byte after the first one that
// breaks the sequence, so never past the NUL.
static int wellFormedSequenceLength(const unsigned char* text)
{
    if (text[0] < 0x80)
        return 1;

    const auto shape = shapeOf(text[0]);
    if (shape.length == 0 || text[1] < shape.low || text[1] > shape.high)
        return 0;
    for (int i = 2; i < shape.length; ++i)
        if ((text[i] & 0xC0) != 0x80)
            return 0;
    return shape.length;
}

// JUCE decodes only well-formed UTF-8 safely: from a malformed or overlong
// sequence it sizes the string by the characters it decodes but copies the raw
// bytes, past the end of its buffer. Each byte that starts no well-formed
// sequence becomes U+FFFD.
static juce::String decodeEntry(const char* entry)
{
    static const char replacement[] = "\xEF\xBF\xBD";
    // Each byte may grow into the three of the replacement.
    char wellFormed[3 * TxtLoader::lineBufferSize];
    size_t length = 0;

    for (const auto* bytes = reinterpret_cast<const unsigned char*>(entry); *bytes != 0;)
    {
        const auto sequence = (size_t) wellFormedSequenceLength(bytes);
        const auto* source = sequence > 0 ? reinterpret_cast<const char*>(bytes) : replacement;
        const auto count = sequence > 0 ? sequence : sizeof(replacement) - 1;
        std::memcpy(wellFormed + length, source, count);
        length += count;
        bytes += std::max<size_t>(sequence, 1);
    }
    return juce::String::fromUTF8(wellFormed, (int) length);
}

// Reads the entry of one entry line into out[count] and counts it.
static void appendEntry(const char* line, juce::String* out, int& count)
{
    char entry[TxtLoader::lineBufferSize];
    TxtLoader::Read(line, entry);
    out[count++] = decodeEntry(entry);
}

void TxtLoader::Load(const char** pointer, const int* length, FlgTable section, juce::String* out, int max)
{
    if (pointer == nullptr || *pointer == nullptr || length == nullptr || *length <= 0)
        return;

    const char* start = *pointer;
    const char* const end = start + *length;
    auto current = FlgNone;
    int count = 0;
    char line[lineBufferSize];

    while (start < end)
    {
        const char* lineEnd = copyLine(start, end, line);

        // Stops before looking at the end marker's line end: nothing after it is read.
        if (line[0] == ':' && isEndMarker(line))
            return;

        start = skipLineEnd(lineEnd, end);

        // An empty line or a comment; a line that starts with a NUL byte reads as empty.
        if (line[0] == '\0' || line[0] == '#')
            continue;

        if (line[0] == ':')
            current = sectionOf(line);
        else if (current == section && count < max)
            appendEntry(line, out, count);
    }
}

void TxtLoader::Load(juce::uint32 index, FlgTable section, juce::String* out, int max)
{
    if (index < numLanguages)
        Load(ptextList[index].pointer, ptextList[index].length, section, out, max);
}

void TxtLoader::Read(const char* line, char* entry)
{
    const char* source = std::strchr(line, '"');

    if (source != nullptr)
    {
        for (++source; *source != '\0' && *source != '"';)
        {
            const char escape = (*source == '\\') ? unescaped(source[1]) : '\0';

            if (escape != '\0')
            {
                *entry++ = escape;
                source += 2;
            }
            else
            {
                *entry++ = *source++;
            }
        }
    }

    *entry = '\0';
}

//==============================================================================
// Text loader

TxtLoader* TxtLoader::m_pinstance = nullptr;

void TxtLoader::createInstance()
{
    if (m_pinstance != nullptr)
        return;

    m_pinstance = new TxtLoader();
    m_pinstance->setLocale(m_pinstance->chkLocale());
}

TxtLoader* TxtLoader::getInstance()
{
    if (m_pinstance == nullptr)
        createInstance();
    return m_pinstance;
}

void TxtLoader::releaseInstance()
{
    delete m_pinstance;
    m_pinstance = nullptr;
}

TxtLoader::TxtLoader()
    : m_locale(~juce::uint32 { 0 })
{
    Load(&language_txt_pointer, &language_txt_length, FlgFontMac, m_font, numLanguages);
    Load(&language_txt_pointer, &language_txt_length, FlgLang, m_lang, numLanguages);
}

TxtLoader::~TxtLoader() = default;

//==============================================================================
// The index of the language list's first code with which identifier begins, or -1.
static int languageOfIdentifier(const char* identifier)
{
    const juce::String id(identifier);

    for (juce::uint32 j = 0; j < numLanguages; ++j)
        if (id.startsWithIgnoreCase(plangList[j].code))
            return (int) j;

    return -1;
}

// The language of one preferred-language entry, or -1 when it names none of ours.
// An identifier that is not ASCII or does not fit 15 characters names none.
static int languageOfPreference(CFTypeRef preference)
{
    if (preference == nullptr || CFGetTypeID(preference) != CFStringGetTypeID())
        return -1;

    const auto canonical = CFLocaleCreateCanonicalLocaleIdentifierFromString(kCFAllocatorDefault,
                                                                             static_cast<CFStringRef>(preference));
    if (canonical == nullptr)
        return -1;

    char identifier[16] = {};
    const bool converted = CFStringGetCString(canonical, identifier, sizeof identifier, kCFStringEncodingASCII);
    CFRelease(canonical);

    return converted ? languageOfIdentifier(identifier) : -1;
}

juce::uint32 TxtLoader::chkLocale()
{
    std::fill(std::begin(m_available), std::end(m_available), true);

    const auto value = CFPreferencesCopyAppValue(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication);
    if (value == nullptr)
        return 0;

    int result = -1;

    if (CFGetTypeID(value) == CFArrayGetTypeID())
    {
        const auto languages = static_cast<CFArrayRef>(value);

        for (CFIndex i = 0; i < CFArrayGetCount(languages) && result < 0; ++i)
            result = languageOfPreference(CFArrayGetValueAtIndex(languages, i));
    }

    CFRelease(value);
    return result < 0 ? 0 : (juce::uint32) result;
}

void TxtLoader::setLocale(juce::uint32 index)
{
    if (index == m_locale || index >= numLanguages)
        return;

    m_locale = index;
    Load(index, FlgStr, m_string, numStrings);
}

juce::uint32 TxtLoader::getLocale() const
{
    return m_locale;
}

bool TxtLoader::isLocale(juce::uint32 index) const
{
    return index < numLanguages && m_available[index];
}

const juce::String& TxtLoader::getFont() const
{
    return getFont(m_locale);
}

const juce::String& TxtLoader::getFont(juce::uint32 index) const
{
    return index < numLanguages ? m_font[index] : m_empty;
}

const juce::String& TxtLoader::getLang(juce::uint32 index) const
{
    return index < numLanguages ? m_lang[index] : m_empty;
}

const juce::String& TxtLoader::getString(juce::uint32 index) const
{
    return index < (juce::uint32) numStrings ? m_string[index] : m_empty;
}

//==============================================================================
// Byte order of the bitmap fallback: bitmap numbers are little-endian.

static bool IsLittleEndian()
{
    const short one = 1;
    char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// Reverses the n bytes at p in place.
static void ByteShift(char* p, int n)
{
    for (int i = 0; i < n / 2; ++i)
        std::swap(p[i], p[n - 1 - i]);
}

static short LittleEndian16(short value)
{
    if (! IsLittleEndian())
        ByteShift(reinterpret_cast<char*>(&value), sizeof value);
    return value;
}

static int LittleEndian32(int value)
{
    if (! IsLittleEndian())
        ByteShift(reinterpret_cast<char*>(&value), sizeof value);
    return value;
}

//==============================================================================
// The bitmap fallback

namespace BitmapLayout
{
    constexpr int signature = 0, width = 18, height = 22, bitsPerPixel = 28;
    constexpr int pixels = 54; // the first row, right after the 14- and 40-byte headers
}

template <typename Value>
static Value readAt(const char* data, int offset)
{
    Value value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

// Copies rows of byte-shifted pixels (red, green, blue, or alpha, red, green, blue)
// into the image, whatever its own memory layout.
static void setPixelData(juce::Image& image, int x, int y, int width, int height,
                         const juce::uint8* source, int sourceLineStride, int bytesPerPixel)
{
    const juce::Image::BitmapData pixels(image, x, y, width, height, juce::Image::BitmapData::writeOnly);

    for (int row = 0; row < height; ++row)
    {
        const auto* pixel = source + row * sourceLineStride;

        for (int column = 0; column < width; ++column, pixel += bytesPerPixel)
        {
            const auto colour = bytesPerPixel == 4 ? juce::Colour(pixel[1], pixel[2], pixel[3], pixel[0])
                                                   : juce::Colour(pixel[0], pixel[1], pixel[2]);
            pixels.setPixelColour(column, row, colour);
        }
    }
}

// A 24- or 32-bit bitmap with bottom-up rows, or null. The data is reordered in place.
static juce::Image* readBitmap(char* data, int size)
{
    if (size < BitmapLayout::pixels || data[BitmapLayout::signature] != 'B' || data[BitmapLayout::signature + 1] != 'M')
        return nullptr;

    const int bits = LittleEndian16(readAt<short>(data, BitmapLayout::bitsPerPixel));
    const int width = LittleEndian32(readAt<int>(data, BitmapLayout::width));
    const int height = LittleEndian32(readAt<int>(data, BitmapLayout::height));

    // Top-down bitmaps (negative height) and mirrored widths are not ours to read.
    if ((bits != 24 && bits != 32) || width <= 0 || height <= 0)
        return nullptr;

    const int bytes = bits / 8;
    const auto stride = ((juce::int64) bytes * width + 3) & ~(juce::int64) 3;
    if (stride > size || BitmapLayout::pixels + stride * height > size)
        return nullptr;

    auto* image = new juce::Image(bits == 24 ? juce::Image::RGB : juce::Image::ARGB, width, height, true);

    for (int r = 0; r < height; ++r)
    {
        auto* row = data + BitmapLayout::pixels + stride * r;
        for (int c = 0; c < width; ++c)
            ByteShift(row + bytes * c, bytes);

        setPixelData(*image, 0, height - 1 - r, width, 1,
                     reinterpret_cast<const juce::uint8*>(row), (int) stride, bytes);
    }

    return image;
}

//==============================================================================
// Image loader

ImageLoader* ImageLoader::m_pinstance = nullptr;

void ImageLoader::createInstance()
{
    if (m_pinstance == nullptr)
        m_pinstance = new ImageLoader();
}

ImageLoader* ImageLoader::getInstance()
{
    if (m_pinstance == nullptr)
        createInstance();
    return m_pinstance;
}

void ImageLoader::releaseInstance()
{
    delete m_pinstance;
    m_pinstance = nullptr;
}

ImageLoader::ImageLoader()
{
    for (juce::uint32 i = 0; i < numImages; ++i)
        Load(i, &m_image[i]);
}

// Gives each image's reference back; the cache frees an image nobody else holds.
ImageLoader::~ImageLoader()
{
    for (auto* image : m_image)
        delete image;
}

juce::Image* ImageLoader::getImage(juce::uint32 index) const
{
    return index < numImages ? m_image[index] : nullptr;
}

void ImageLoader::Load(juce::uint32 index, juce::Image** out)
{
    *out = nullptr;
    if (index < numImages)
        Load(pimageList[index].pointer, pimageList[index].length, out);
}

void ImageLoader::Load(const char** pointer, const int* length, juce::Image** out)
{
    *out = nullptr;
    if (pointer == nullptr || *pointer == nullptr || length == nullptr || *length <= 0)
        return;

    const auto* data = *pointer;
    const int size = *length;

    auto decoded = juce::ImageCache::getFromMemory(data, size);
    if (decoded.isValid())
    {
        *out = new juce::Image(decoded);
        return;
    }

    juce::HeapBlock<char> copy(size);
    std::memcpy(copy.get(), data, (size_t) size);
    *out = readBitmap(copy.get(), size);

    // Under the key the cache gives the same data, so the next load finds it there.
    if (*out != nullptr)
        juce::ImageCache::addImageToCache(**out, (juce::int64) (juce::pointer_sized_int) data);
}
