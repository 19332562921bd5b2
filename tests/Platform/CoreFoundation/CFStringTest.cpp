// Strings: encodings, lengths, conversion into caller buffers and comparison.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace
{
CFStringRef fromUTF8(const char* text)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

// "naïve", and "𝄞" (U+1D11E, outside the Basic Multilingual Plane).
constexpr const char* naive = "na\xC3\xAFve";
constexpr const char* clef = "\xF0\x9D\x84\x9E";
} // namespace

//==============================================================================
// Faults guarded against: bytes accepted that are not text in their encoding.

TEST(CFStringCreation, BytesInvalidInTheirEncodingAreRefused)
{
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, naive, kCFStringEncodingASCII), nullptr);
    EXPECT_EQ(fromUTF8("\xC3"), nullptr);             // cut short
    EXPECT_EQ(fromUTF8("\xC0\xAF"), nullptr);         // overlong '/'
    EXPECT_EQ(fromUTF8("\xED\xA0\x80"), nullptr);     // a surrogate
    EXPECT_EQ(fromUTF8("\xF4\x90\x80\x80"), nullptr); // above U+10FFFF
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "x", 0x0C000100), nullptr); // unsupported
    const UniChar lonelySurrogate[] = { 0xD834 };
    EXPECT_EQ(CFStringCreateWithCharacters(kCFAllocatorDefault, lonelySurrogate, 1), nullptr);
}

TEST(CFStringCreation, SingleByteEncodingsDecodeToUnicode)
{
    const UInt8 macRoman[] = { 0x8A, 0xDB }; // ä and €
    CFStringRef fromMac = CFStringCreateWithBytes(kCFAllocatorDefault, macRoman, 2, kCFStringEncodingMacRoman, false);
    ASSERT_NE(fromMac, nullptr);
    EXPECT_STREQ(CFStringGetCStringPtr(fromMac, kCFStringEncodingUTF8), "\xC3\xA4\xE2\x82\xAC");

    const UInt8 latin1[] = { 0xE4 };
    CFStringRef fromLatin1 = CFStringCreateWithBytes(kCFAllocatorDefault, latin1, 1, kCFStringEncodingISOLatin1, false);
    EXPECT_STREQ(CFStringGetCStringPtr(fromLatin1, kCFStringEncodingUTF8), "\xC3\xA4");

    char buffer[4];
    EXPECT_TRUE(CFStringGetCString(fromLatin1, buffer, sizeof buffer, kCFStringEncodingMacRoman));
    EXPECT_STREQ(buffer, "\x8A");
    EXPECT_FALSE(CFStringGetCString(fromMac, buffer, sizeof buffer, kCFStringEncodingISOLatin1)); // no euro sign
    CFRelease(fromMac);
    CFRelease(fromLatin1);
}

TEST(CFStringCreation, UTF16BytesHonourTheirByteOrder)
{
    const UInt8 bigEndianWithMark[] = { 0xFE, 0xFF, 0x00, 0x41, 0xD8, 0x34, 0xDD, 0x1E };
    CFStringRef text = CFStringCreateWithBytes(kCFAllocatorDefault, bigEndianWithMark, sizeof bigEndianWithMark,
                                               kCFStringEncodingUTF16, true);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(CFStringGetCStringPtr(text, kCFStringEncodingUTF8)), std::string("A") + clef);
    CFRelease(text);

    const UInt8 littleEndian[] = { 0x41, 0x00 };
    CFStringRef a = CFStringCreateWithBytes(kCFAllocatorDefault, littleEndian, 2, kCFStringEncodingUTF16LE, false);
    EXPECT_TRUE(CFEqual(a, CFSTR("A")));
    CFRelease(a);
    EXPECT_EQ(CFStringCreateWithBytes(kCFAllocatorDefault, littleEndian, 1, kCFStringEncodingUTF16LE, false), nullptr);
}

//==============================================================================
// Faults guarded against: lengths counted in bytes or code points instead of
// UTF-16 code units.

TEST(CFStringLength, CountsUTF16CodeUnits)
{
    CFStringRef accented = fromUTF8(naive);
    CFStringRef supplementary = fromUTF8(clef);
    EXPECT_EQ(CFStringGetLength(accented), 5);
    EXPECT_EQ(CFStringGetLength(supplementary), 2);
    EXPECT_EQ(CFStringGetCharacterAtIndex(supplementary, 0), 0xD834);
    EXPECT_EQ(CFStringGetCharacterAtIndex(supplementary, 1), 0xDD1E);
    CFRelease(accented);
    CFRelease(supplementary);
}

TEST(CFStringLength, MutableStringsKeepTheirLengthAsTheyGrow)
{
    CFMutableStringRef text = CFStringCreateMutable(kCFAllocatorDefault, 0);
    CFStringAppendCString(text, clef, kCFStringEncodingUTF8);
    CFStringAppend(text, text);
    CFStringAppendCString(text, "\xFF", kCFStringEncodingUTF8); // invalid: nothing appended
    EXPECT_EQ(CFStringGetLength(text), 4);
    CFStringRef copy = CFStringCreateCopy(kCFAllocatorDefault, text);
    CFStringAppendCString(text, "x", kCFStringEncodingASCII);
    EXPECT_EQ(CFStringGetLength(copy), 4);
    CFRelease(copy);
    CFRelease(text);
}

//==============================================================================
// Faults guarded against: writing past a caller's buffer, reporting success for
// a cut or unconvertible text, or leaving a stale text in the buffer.

TEST(CFStringGetCString, TextAndTerminatorMustFit)
{
    CFStringRef text = fromUTF8(naive); // six bytes in UTF-8
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_FALSE(CFStringGetCString(text, buffer, 6, kCFStringEncodingUTF8));
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(buffer[6], 'x') << "wrote past the given size";
    EXPECT_TRUE(CFStringGetCString(text, buffer, 7, kCFStringEncodingUTF8));
    EXPECT_STREQ(buffer, naive);
    EXPECT_FALSE(CFStringGetCString(text, buffer, 0, kCFStringEncodingUTF8));
    CFRelease(text);
}

TEST(CFStringGetCString, NonASCIITextFailsInASCII)
{
    CFStringRef text = fromUTF8(naive);
    char buffer[16] = "stale";
    EXPECT_FALSE(CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(CFStringGetCStringPtr(text, kCFStringEncodingASCII), nullptr);
    EXPECT_STREQ(CFStringGetCStringPtr(CFSTR("en-GB"), kCFStringEncodingASCII), "en-GB");
    CFRelease(text);
}

TEST(CFStringGetCString, MaximumSizesCoverEveryText)
{
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(2, kCFStringEncodingUTF8), 6);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(2, kCFStringEncodingASCII), 2);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(LONG_MAX, kCFStringEncodingUTF8), kCFNotFound);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(1, 0x0C000100), kCFNotFound);
}

//==============================================================================
// Faults guarded against: orderings that depend on signed bytes or on case when
// asked not to.

TEST(CFStringCompare, OrdersByCodePointAndFoldsASCIICase)
{
    CFStringRef accented = fromUTF8(naive);
    EXPECT_EQ(CFStringCompare(CFSTR("naz"), accented, 0), kCFCompareLessThan); // U+00EF above 'z'
    EXPECT_EQ(CFStringCompare(CFSTR("ABC"), CFSTR("abc"), 0), kCFCompareLessThan);
    EXPECT_EQ(CFStringCompare(CFSTR("ABC"), CFSTR("abc"), kCFCompareCaseInsensitive), kCFCompareEqualTo);
    EXPECT_EQ(CFStringCompare(CFSTR("ab"), CFSTR("ABC"), kCFCompareCaseInsensitive), kCFCompareLessThan);
    EXPECT_TRUE(CFStringHasPrefix(CFSTR("zh-Hans"), CFSTR("zh")));
    EXPECT_TRUE(CFStringHasSuffix(CFSTR("zh-Hans"), CFSTR("Hans")));
    EXPECT_FALSE(CFStringHasPrefix(CFSTR("zh"), CFSTR("zh-Hans")));
    CFRelease(accented);
}
