// Sets: distinct values by equality, ownership and application.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{
CFNumberRef makeInt(int value)
{
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &value);
}

void appendToArray(const void* value, void* context)
{
    CFArrayAppendValue(static_cast<CFMutableArrayRef>(context), value);
}

int intOf(const void* number)
{
    int value = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberIntType, &value);
    return value;
}
} // namespace

//==============================================================================
// Faults guarded against: equal values stored twice, values lost or kept
// alive by the set, and an applier that misses or repeats values.

TEST(CFSetValues, EqualValuesAreStoredOnce)
{
    CFNumberRef one = makeInt(1), sameOne = makeInt(1), two = makeInt(2);
    CFMutableSetRef set = CFSetCreateMutable(kCFAllocatorDefault, 0, &kCFTypeSetCallBacks);
    CFSetAddValue(set, one);
    CFSetAddValue(set, sameOne);
    CFSetAddValue(set, two);
    EXPECT_EQ(CFSetGetCount(set), 2);
    EXPECT_EQ(CFGetRetainCount(sameOne), 1) << "an equal value already there must not be retained";
    EXPECT_TRUE(CFSetContainsValue(set, sameOne));

    CFSetRemoveValue(set, sameOne);
    EXPECT_EQ(CFGetRetainCount(one), 1) << "removing an equal value releases the stored one";
    EXPECT_FALSE(CFSetContainsValue(set, one));
    CFRelease(set);
    EXPECT_EQ(CFGetRetainCount(two), 1);
    CFRelease(one);
    CFRelease(sameOne);
    CFRelease(two);
}

TEST(CFSetValues, ApplyVisitsEveryValueOnce)
{
    std::vector<CFNumberRef> numbers;
    for (int i = 0; i < 10; ++i)
        numbers.push_back(makeInt(i));
    CFSetRef set = CFSetCreate(kCFAllocatorDefault, reinterpret_cast<const void**>(numbers.data()), 10,
                               &kCFTypeSetCallBacks);
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFSetApplyFunction(set, appendToArray, array);

    std::vector<int> seen;
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
        seen.push_back(intOf(CFArrayGetValueAtIndex(array, i)));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, std::vector<int>({ 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 }));
    EXPECT_EQ(CFGetRetainCount(numbers[3]), 3) << "held by the caller, the set and the array";

    std::vector<const void*> values(10);
    CFSetGetValues(set, values.data());
    EXPECT_TRUE(std::is_permutation(values.begin(), values.end(), numbers.begin()));

    CFRelease(array);
    CFRelease(set);
    for (CFNumberRef number : numbers)
    {
        EXPECT_EQ(CFGetRetainCount(number), 1);
        CFRelease(number);
    }
}

TEST(CFSetDeathTest, ChangingTheSetFromItsApplierStopsTheProgram)
{
    CFNumberRef one = makeInt(1);
    CFMutableSetRef set = CFSetCreateMutable(kCFAllocatorDefault, 0, &kCFTypeSetCallBacks);
    CFSetAddValue(set, one);
    EXPECT_DEATH(CFSetApplyFunction(set, [](const void*, void* context) {
        CFSetRemoveValue(static_cast<CFMutableSetRef>(context), nullptr);
    }, set), "changed while");
    CFRelease(set);
    CFRelease(one);
}
