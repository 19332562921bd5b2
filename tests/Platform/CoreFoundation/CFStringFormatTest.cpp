// printf-style formatting with %@.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <string>

namespace
{
// The formatted text, or "<null>" when formatting failed.
template <typename... Arguments>
std::string format(CFStringRef formatString, Arguments... arguments)
{
    CFStringRef result = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, formatString, arguments...);
    if (result == nullptr)
        return "<null>";
    std::string text = CFStringGetCStringPtr(result, kCFStringEncodingUTF8);
    CFRelease(result);
    return text;
}
} // namespace

//==============================================================================
// Faults guarded against: arguments read with the wrong width (the following
// ones would then be garbage) and objects printed as addresses.

TEST(CFStringFormat, ConversionsReadTheirArgumentsAtTheirWidth)
{
    EXPECT_EQ(format(CFSTR("%ld"), 4294967296L), "4294967296");
    EXPECT_EQ(format(CFSTR("%ld:%ld"), 7L, -3L), "7:-3");
    EXPECT_EQ(format(CFSTR("%d"), -5), "-5");
    EXPECT_EQ(format(CFSTR("0x%4.4lX"), 1L), "0x0001");
    EXPECT_EQ(format(CFSTR("0x%4.4lX"), 0x12345L), "0x12345");
    EXPECT_EQ(format(CFSTR("%s|%c|%5.2f|%%"), "text", 'c', 3.14159), "text|c| 3.14|%");
    EXPECT_EQ(format(CFSTR("%hhd %llu %zu"), 300, 18446744073709551615ULL, size_t(9)), "44 18446744073709551615 9");
    EXPECT_EQ(format(CFSTR("[%*d|%-*d|%.*s]"), 4, 7, 3, 1, 2, "abc"), "[   7|1  |ab]");
}

TEST(CFStringFormat, ObjectsPrintTheirDescriptions)
{
    int value = 42;
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &value);
    EXPECT_EQ(format(CFSTR("%@ %@"), CFSTR("Vendor"), CFSTR("Product")), "Vendor Product");
    EXPECT_EQ(format(CFSTR("%@=%d"), number, 1), "42=1");
    EXPECT_EQ(format(CFSTR("%@"), static_cast<CFTypeRef>(nullptr)), "(null)");
    EXPECT_EQ(format(CFSTR("d:{v:%ld, p:%ld, l:%ld, p:%d, u:%d}, e:{p:%d, u:%d, c:%d}"), 4660L, 14L, 4294967295L,
                     1, 4, 9, 1, -1),
              "d:{v:4660, p:14, l:4294967295, p:1, u:4}, e:{p:9, u:1, c:-1}");
    CFRelease(number);
}

//==============================================================================
// Faults guarded against: formats that write through an argument, read
// arguments in an order the code cannot follow, or produce text that is not UTF-8.

TEST(CFStringFormat, UnsupportedOrUnsafeFormatsFail)
{
    int written = 0;
    EXPECT_EQ(format(CFSTR("ab%n"), &written), "<null>");
    EXPECT_EQ(written, 0);
    EXPECT_EQ(format(CFSTR("%1$d"), 1), "<null>");
    EXPECT_EQ(format(CFSTR("%k"), 1), "<null>");
    EXPECT_EQ(format(CFSTR("trailing %")), "<null>");
    EXPECT_EQ(format(CFSTR("%s"), "\xFF"), "<null>");
}
