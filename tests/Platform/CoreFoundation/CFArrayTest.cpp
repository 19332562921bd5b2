// Arrays: ownership of values, sorting and misuse.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace
{
using Item = std::pair<int, int>;

CFNumberRef makeLong(long value)
{
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberLongType, &value);
}

long valueAt(CFArrayRef array, CFIndex index)
{
    long value = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(array, index)), kCFNumberLongType, &value);
    return value;
}

// Orders pairs by their first member only, so that stability shows.
CFComparisonResult byFirst(const void* a, const void* b, void* context)
{
    ++*static_cast<int*>(context);
    const int first = static_cast<const Item*>(a)->first;
    const int second = static_cast<const Item*>(b)->first;
    return first < second ? kCFCompareLessThan : first > second ? kCFCompareGreaterThan : kCFCompareEqualTo;
}

CFComparisonResult alwaysLess(const void*, const void*, void*)
{
    return kCFCompareLessThan;
}
} // namespace

//==============================================================================
// Faults guarded against: members freed while the array holds them, or kept alive after it.

TEST(CFArrayOwnership, HoldsOneReferenceToEachMemberWhileItHoldsIt)
{
    CFNumberRef number = makeLong(5);
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, number);
    CFArrayInsertValueAtIndex(array, 0, number);
    EXPECT_EQ(CFGetRetainCount(number), 3);

    CFArrayRef copy = CFArrayCreateCopy(kCFAllocatorDefault, array);
    EXPECT_EQ(CFGetRetainCount(number), 5);
    EXPECT_TRUE(CFEqual(copy, array));

    CFArrayRemoveValueAtIndex(array, 0);
    EXPECT_EQ(CFGetRetainCount(number), 4);
    CFArrayRemoveAllValues(array);
    EXPECT_EQ(CFGetRetainCount(number), 3);
    CFRelease(copy);
    EXPECT_EQ(CFGetRetainCount(number), 1);
    CFRelease(array);
    CFRelease(number);
}

TEST(CFArrayOwnership, NullCallBacksKeepRawPointersComparedByIdentity)
{
    int a = 1, b = 1;
    const void* values[] = { &a, &b };
    CFArrayRef array = CFArrayCreate(kCFAllocatorDefault, values, 2, nullptr);
    EXPECT_EQ(CFArrayGetFirstIndexOfValue(array, CFRangeMake(0, 2), &b), 1);
    EXPECT_FALSE(CFArrayContainsValue(array, CFRangeMake(0, 1), &b));
    CFRelease(array);
}

TEST(CFArrayOwnership, TypeCallBacksFindValuesByEquality)
{
    CFNumberRef five = makeLong(5), otherFive = makeLong(5);
    const void* values[] = { five };
    CFArrayRef array = CFArrayCreate(kCFAllocatorDefault, values, 1, &kCFTypeArrayCallBacks);
    EXPECT_TRUE(CFArrayContainsValue(array, CFRangeMake(0, 1), otherFive));
    EXPECT_EQ(CFArrayGetFirstIndexOfValue(array, CFRangeMake(0, 0), otherFive), kCFNotFound);
    CFRelease(array);
    CFRelease(five);
    CFRelease(otherFive);
}

//==============================================================================
// Faults guarded against: sorts that lose or duplicate values, reorder equal
// values, leave their range, or run off the array under a self-contradicting comparator.

TEST(CFArraySort, SortsTheRangeStablyWithTheCallersComparator)
{
    std::vector<Item> items { { 9, 0 }, { 3, 0 }, { 1, 0 }, { 3, 1 }, { 2, 0 }, { 3, 2 }, { 0, 0 } };
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, nullptr);
    for (auto& item : items)
        CFArrayAppendValue(array, &item);
    int calls = 0;
    CFArraySortValues(array, CFRangeMake(1, 5), byFirst, &calls);
    EXPECT_GT(calls, 0) << "the context must reach the comparator";

    const std::vector<Item> expected { { 9, 0 }, { 1, 0 }, { 2, 0 }, { 3, 0 }, { 3, 1 }, { 3, 2 }, { 0, 0 } };
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
        EXPECT_EQ(*static_cast<const Item*>(CFArrayGetValueAtIndex(array, i)), expected[size_t(i)])
            << "at index " << i;
    CFRelease(array);
}

TEST(CFArraySort, ASelfContradictingComparatorKeepsEveryValue)
{
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    for (long i = 0; i < 40; ++i)
    {
        CFNumberRef number = makeLong(i);
        CFArrayAppendValue(array, number);
        CFRelease(number);
    }
    CFArraySortValues(array, CFRangeMake(0, 40), alwaysLess, nullptr);
    long sum = 0;
    for (CFIndex i = 0; i < 40; ++i)
        sum += valueAt(array, i);
    EXPECT_EQ(sum, 40 * 39 / 2);
    CFRelease(array);
}

//==============================================================================
// Faults guarded against: reads and writes outside the array, and changes that
// the caller's design rules out.

namespace
{
void appendToContext(const void* value, void* context)
{
    CFArrayAppendValue(static_cast<CFMutableArrayRef>(context), value);
}
} // namespace

TEST(CFArrayDeathTest, MisuseStopsTheProgram)
{
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, nullptr);
    CFArrayAppendValue(array, &array);
    CFArrayRef immutable = CFArrayCreateCopy(kCFAllocatorDefault, array);

    EXPECT_DEATH(CFArrayGetValueAtIndex(array, 1), "CFArrayGetValueAtIndex: index outside the array");
    EXPECT_DEATH(CFArrayGetValueAtIndex(array, -1), "index outside the array");
    EXPECT_DEATH(CFArrayInsertValueAtIndex(array, 2, nullptr), "index outside the array");
    EXPECT_DEATH(CFArrayApplyFunction(array, CFRangeMake(1, 1), appendToContext, array), "range outside the array");
    EXPECT_DEATH(CFArrayAppendValue(const_cast<CFMutableArrayRef>(immutable), nullptr), "the container is immutable");
    EXPECT_DEATH(CFArrayApplyFunction(array, CFRangeMake(0, 1), appendToContext, array), "changed while");

    CFRelease(immutable);
    CFRelease(array);
}
