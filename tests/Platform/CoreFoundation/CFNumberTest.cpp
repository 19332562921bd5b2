// Numbers: conversions, comparison across types and descriptions.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace
{
template <typename T>
CFNumberRef make(CFNumberType type, T value)
{
    return CFNumberCreate(kCFAllocatorDefault, type, &value);
}

// The value converted to type, and whether the conversion was exact.
template <typename T>
std::pair<T, bool> read(CFNumberRef number, CFNumberType type)
{
    T value {};
    const bool exact = CFNumberGetValue(number, type, &value);
    return { value, exact };
}

std::string describe(CFTypeRef object)
{
    CFStringRef description = CFCopyDescription(object);
    std::string text = CFStringGetCStringPtr(description, kCFStringEncodingUTF8);
    CFRelease(description);
    return text;
}
} // namespace

//==============================================================================
// Faults guarded against: a lossy conversion reported as exact, an exact one as
// lossy, or a value written differently from a C cast (or through undefined behaviour).

TEST(CFNumberConversion, IntegersNarrowByKeepingTheirLowBits)
{
    CFNumberRef big = make<SInt64>(kCFNumberSInt64Type, (SInt64(1) << 32) + 1);
    EXPECT_EQ(read<SInt32>(big, kCFNumberSInt32Type), std::make_pair(SInt32(1), false));
    EXPECT_EQ(read<SInt8>(big, kCFNumberSInt8Type), std::make_pair(SInt8(1), false));
    EXPECT_EQ(read<SInt64>(big, kCFNumberSInt64Type), std::make_pair((SInt64(1) << 32) + 1, true));
    CFRelease(big);

    CFNumberRef negative = make<SInt32>(kCFNumberSInt32Type, -1);
    EXPECT_EQ(read<SInt64>(negative, kCFNumberSInt64Type), std::make_pair(SInt64(-1), true));
    EXPECT_EQ(read<SInt16>(negative, kCFNumberShortType), std::make_pair(SInt16(-1), true));
    CFRelease(negative);

    CFNumberRef byteOverflow = make<int>(kCFNumberIntType, 200);
    EXPECT_EQ(read<SInt8>(byteOverflow, kCFNumberCharType), std::make_pair(SInt8(-56), false));
    CFRelease(byteOverflow);
}

TEST(CFNumberConversion, FractionsAndOutOfRangeFloatsAreLossy)
{
    CFNumberRef half = make<double>(kCFNumberDoubleType, 1.5);
    EXPECT_EQ(read<int>(half, kCFNumberIntType), std::make_pair(1, false));
    EXPECT_EQ(read<double>(half, kCFNumberFloat64Type), std::make_pair(1.5, true));
    EXPECT_EQ(read<float>(half, kCFNumberFloat32Type), std::make_pair(1.5f, true));
    CFRelease(half);

    CFNumberRef huge = make<double>(kCFNumberDoubleType, 1e300);
    EXPECT_EQ(read<SInt64>(huge, kCFNumberSInt64Type),
              std::make_pair(std::numeric_limits<SInt64>::max(), false));
    const auto asFloat = read<float>(huge, kCFNumberFloatType);
    EXPECT_TRUE(std::isinf(asFloat.first)) << asFloat.first;
    EXPECT_FALSE(asFloat.second);
    CFRelease(huge);

    CFNumberRef notANumber = make<double>(kCFNumberDoubleType, std::nan(""));
    EXPECT_EQ(read<int>(notANumber, kCFNumberIntType), std::make_pair(0, false));
    CFRelease(notANumber);

    CFNumberRef tenth = make<double>(kCFNumberDoubleType, 0.1);
    EXPECT_FALSE(read<float>(tenth, kCFNumberFloat32Type).second);
    CFRelease(tenth);
}

TEST(CFNumberConversion, LargeIntegersWithoutAnExactDoubleAreLossy)
{
    CFNumberRef largest = make<SInt64>(kCFNumberSInt64Type, std::numeric_limits<SInt64>::max());
    EXPECT_FALSE(read<double>(largest, kCFNumberDoubleType).second);
    CFRelease(largest);

    CFNumberRef twoTo53 = make<SInt64>(kCFNumberSInt64Type, SInt64(1) << 53);
    EXPECT_EQ(read<double>(twoTo53, kCFNumberDoubleType), std::make_pair(9007199254740992.0, true));
    CFRelease(twoTo53);
}

TEST(CFNumberConversion, UnknownTypesAreRefused)
{
    int value = 5;
    EXPECT_EQ(CFNumberCreate(kCFAllocatorDefault, static_cast<CFNumberType>(0), &value), nullptr);
    EXPECT_EQ(CFNumberCreate(kCFAllocatorDefault, static_cast<CFNumberType>(17), &value), nullptr);
    CFNumberRef number = make<int>(kCFNumberIntType, 5);
    EXPECT_FALSE(CFNumberGetValue(number, static_cast<CFNumberType>(99), &value));
    EXPECT_EQ(CFNumberGetType(number), kCFNumberIntType);
    EXPECT_EQ(CFNumberGetByteSize(number), 4);
    EXPECT_FALSE(CFNumberIsFloatType(number));
    CFRelease(number);
}

//==============================================================================
// Faults guarded against: numbers of equal value that compare, equal or hash
// apart across types, and orderings that round through double.

TEST(CFNumberComparison, EqualValuesOfDifferentTypesAreEqualAndHashAlike)
{
    CFNumberRef integer = make<SInt8>(kCFNumberSInt8Type, 3);
    CFNumberRef real = make<float>(kCFNumberFloat32Type, 3.0f);
    EXPECT_TRUE(CFEqual(integer, real));
    EXPECT_EQ(CFHash(integer), CFHash(real));
    EXPECT_EQ(CFNumberCompare(integer, real, nullptr), kCFCompareEqualTo);
    CFRelease(integer);
    CFRelease(real);
}

TEST(CFNumberComparison, IntegersAndDoublesCompareExactly)
{
    // 2^53 + 1 has no double; rounding it would call it equal to 2^53.
    CFNumberRef integer = make<SInt64>(kCFNumberSInt64Type, (SInt64(1) << 53) + 1);
    CFNumberRef real = make<double>(kCFNumberDoubleType, 9007199254740992.0);
    EXPECT_EQ(CFNumberCompare(integer, real, nullptr), kCFCompareGreaterThan);
    EXPECT_EQ(CFNumberCompare(real, integer, nullptr), kCFCompareLessThan);
    EXPECT_FALSE(CFEqual(integer, real));
    CFRelease(integer);
    CFRelease(real);

    CFNumberRef minusOne = make<int>(kCFNumberIntType, -1);
    CFNumberRef minusHalf = make<double>(kCFNumberDoubleType, -0.5);
    EXPECT_EQ(CFNumberCompare(minusOne, minusHalf, nullptr), kCFCompareLessThan);
    CFRelease(minusOne);
    CFRelease(minusHalf);
}

TEST(CFNumberComparison, NotANumberSortsFirstAndEqualsItself)
{
    CFNumberRef nan1 = make<double>(kCFNumberDoubleType, std::nan(""));
    CFNumberRef nan2 = make<float>(kCFNumberFloatType, std::nanf(""));
    CFNumberRef lowest = make<SInt64>(kCFNumberSInt64Type, std::numeric_limits<SInt64>::min());
    EXPECT_TRUE(CFEqual(nan1, nan2));
    EXPECT_EQ(CFHash(nan1), CFHash(nan2));
    EXPECT_EQ(CFNumberCompare(nan1, lowest, nullptr), kCFCompareLessThan);
    EXPECT_EQ(CFNumberCompare(lowest, nan1, nullptr), kCFCompareGreaterThan);
    CFRelease(nan1);
    CFRelease(nan2);
    CFRelease(lowest);
}

TEST(CFNumberDescription, IntegersInDecimalFloatsAsShortAsTheyReadBack)
{
    CFNumberRef integer = make<SInt64>(kCFNumberSInt64Type, std::numeric_limits<SInt64>::min());
    CFNumberRef single = make<float>(kCFNumberFloatType, 0.1f);
    CFNumberRef dbl = make<double>(kCFNumberDoubleType, 0.1);
    CFNumberRef whole = make<double>(kCFNumberDoubleType, 2.0);
    EXPECT_EQ(describe(integer), "-9223372036854775808");
    EXPECT_EQ(describe(single), "0.1");
    EXPECT_EQ(describe(dbl), "0.1");
    EXPECT_EQ(describe(whole), "2");
    CFRelease(integer);
    CFRelease(single);
    CFRelease(dbl);
    CFRelease(whole);
}
