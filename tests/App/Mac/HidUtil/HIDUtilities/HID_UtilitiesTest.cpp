#include "App/Mac/HidUtil/HIDUtilities/VirtualDeviceList.h"

using ::testing::ElementsAre;

namespace
{
using platform::virtualhid::Properties;

long long numberIn(CFDictionaryRef dictionary, const char* key)
{
    const CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
    const auto number = static_cast<CFNumberRef>(CFDictionaryGetValue(dictionary, name));
    CFRelease(name);
    if (number == nullptr)
        return -1;
    long long value = 0;
    CFNumberGetValue(number, kCFNumberLongLongType, &value);
    return value;
}
} // namespace

//==============================================================================
TEST(MatchingDictionary, HoldsThePageAndTheUsageOnlyWhenThePageIsGiven)
{
    CFMutableDictionaryRef everything = hu_SetUpMatchingDictionary(0, 0);
    EXPECT_EQ(CFDictionaryGetCount(everything), 0);
    CFRelease(everything);

    CFMutableDictionaryRef usageWithoutPage = hu_SetUpMatchingDictionary(0, 5);
    EXPECT_EQ(CFDictionaryGetCount(usageWithoutPage), 0);
    CFRelease(usageWithoutPage);

    CFMutableDictionaryRef pageOnly = hu_SetUpMatchingDictionary(1, 0);
    EXPECT_EQ(numberIn(pageOnly, kIOHIDPrimaryUsagePageKey), 1);
    EXPECT_FALSE(CFDictionaryContainsKey(pageOnly, CFSTR(kIOHIDPrimaryUsageKey)));
    CFRelease(pageOnly);

    CFMutableDictionaryRef both = hu_SetUpMatchingDictionary(0xFF00, 1);
    EXPECT_EQ(numberIn(both, kIOHIDPrimaryUsagePageKey), 0xFF00);
    EXPECT_EQ(numberIn(both, kIOHIDPrimaryUsageKey), 1);
    CFRelease(both);
}

//==============================================================================
using DeviceListBuild = VirtualDeviceList;

TEST_F(DeviceListBuild, WithoutUsagesMatchesEveryDevice)
{
    attach(Properties().setNumber(kIOHIDPrimaryUsagePageKey, 1).setNumber(kIOHIDPrimaryUsageKey, 6));
    attach(Properties().setNumber(kIOHIDPrimaryUsagePageKey, 0xFF00));

    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    EXPECT_TRUE(HIDHaveDeviceList());
    EXPECT_EQ(HIDCountDevices(), 2u);

    ASSERT_TRUE(HIDBuildMultiDeviceList(nullptr, nullptr, 0));
    EXPECT_EQ(HIDCountDevices(), 2u);
}

TEST_F(DeviceListBuild, MatchesAnyOfSeveralPagesAndUsages)
{
    attach(Properties().setNumber(kIOHIDPrimaryUsagePageKey, 1).setNumber(kIOHIDPrimaryUsageKey, 6));
    attach(Properties().setNumber(kIOHIDPrimaryUsagePageKey, 1).setNumber(kIOHIDPrimaryUsageKey, 2));
    attach(Properties().setNumber(kIOHIDPrimaryUsagePageKey, 0xFF00).setNumber(kIOHIDPrimaryUsageKey, 1));

    ASSERT_TRUE(HIDBuildDeviceList(1, 0));
    EXPECT_EQ(HIDCountDevices(), 2u);

    const UInt32 pages[] = { 1, 0xFF00 };
    const UInt32 usages[] = { 6, 1 };
    ASSERT_TRUE(HIDBuildMultiDeviceList(pages, usages, 2));
    EXPECT_EQ(HIDCountDevices(), 2u);

}

TEST_F(DeviceListBuild, KeepsThePreviousSnapshotWhenNothingMatches)
{
    attach(Properties().setNumber(kIOHIDPrimaryUsagePageKey, 1));
    const UInt32 pages[] = { 1 };
    const UInt32 usages[] = { 0 };

    // A negative count builds an empty matching array: the manager yields no set.
    ASSERT_TRUE(HIDBuildMultiDeviceList(pages, usages, -1));
    EXPECT_FALSE(HIDHaveDeviceList());

    ASSERT_TRUE(HIDBuildMultiDeviceList(pages, usages, 1));
    ASSERT_EQ(HIDCountDevices(), 1u);
    ASSERT_TRUE(HIDBuildMultiDeviceList(pages, usages, -1));
    EXPECT_EQ(HIDCountDevices(), 1u);
}

TEST_F(DeviceListBuild, CreatesOneManagerAndKeepsItAcrossBuilds)
{
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    const IOHIDManagerRef first = gIOHIDManagerRef;
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(HIDUpdateDeviceList(nullptr, nullptr, 0));
    EXPECT_EQ(gIOHIDManagerRef, first);
}

TEST_F(DeviceListBuild, ANewDeviceAppearsOnlyAfterARebuild)
{
    attachAt(2);
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    attachAt(1);
    EXPECT_EQ(HIDCountDevices(), 1u);

    HIDRebuildDevices();
    EXPECT_THAT(walkLocations(), ElementsAre(1, 2));
}

TEST_F(DeviceListBuild, ReleaseLeavesNoSnapshotAndIsHarmlessTwice)
{
    attachAt(1);
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    HIDReleaseDeviceList();
    HIDReleaseDeviceList();
    EXPECT_FALSE(HIDHaveDeviceList());
    EXPECT_EQ(HIDCountDevices(), 0u);
    EXPECT_EQ(HIDGetFirstDevice(), nullptr);
    EXPECT_NE(gIOHIDManagerRef, nullptr);
}

//==============================================================================
using DeviceListOrder = VirtualDeviceList;

TEST_F(DeviceListOrder, SortsByUnsignedLocationWithTheMissingOneFirst)
{
    attachAt(0x80000000LL);
    attachAt(1);
    attach(Properties().setString(kIOHIDProductKey, "no location"));
    attachAt(0x01230000);

    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    EXPECT_THAT(walkLocations(), ElementsAre(0, 1, 0x01230000, 0x80000000L));
}

//==============================================================================
using DeviceListWalk = VirtualDeviceList;

TEST_F(DeviceListWalk, IsEmptyWithoutASnapshotOrWithoutDevices)
{
    EXPECT_EQ(HIDGetFirstDevice(), nullptr);

    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    EXPECT_EQ(HIDGetFirstDevice(), nullptr);
    EXPECT_EQ(HIDGetNextDevice(nullptr), nullptr);
}

TEST_F(DeviceListWalk, StaysAtTheEndUntilRestartedFromTheFirst)
{
    attachAt(1);
    attachAt(2);
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));

    const IOHIDDeviceRef first = HIDGetFirstDevice();
    const IOHIDDeviceRef last = HIDGetNextDevice(first);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(HIDGetNextDevice(last), nullptr);
    EXPECT_EQ(gDeviceIndex, 2);

    // Even a valid device gets nothing once the cursor ran off the end.
    EXPECT_EQ(HIDGetNextDevice(first), nullptr);
    EXPECT_EQ(HIDGetFirstDevice(), first);
    EXPECT_EQ(HIDGetNextDevice(first), last);
}

TEST_F(DeviceListWalk, FindsTheSuccessorOfADeviceAwayFromTheCursor)
{
    attachAt(1);
    attachAt(2);
    attachAt(3);
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));

    const IOHIDDeviceRef first = HIDGetFirstDevice();
    const IOHIDDeviceRef second = HIDGetNextDevice(first);
    const IOHIDDeviceRef third = HIDGetNextDevice(second);

    HIDGetFirstDevice();
    EXPECT_EQ(HIDGetNextDevice(second), third);
    EXPECT_EQ(gDeviceIndex, 2);
}

TEST_F(DeviceListWalk, LosesItsPlaceForADeviceOutsideTheSnapshotUntilRestarted)
{
    attachAt(1);
    attachAt(2);
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    const IOHIDDeviceRef first = HIDGetFirstDevice();
    const IOHIDDeviceRef second = HIDGetNextDevice(first);
    HIDGetFirstDevice();

    // Any object not in the snapshot will do: the walk only compares references.
    const auto stranger = reinterpret_cast<IOHIDDeviceRef>(const_cast<void*>(static_cast<const void*>(CFSTR("stranger"))));
    EXPECT_EQ(HIDGetNextDevice(stranger), nullptr);
    EXPECT_EQ(gDeviceIndex, -1);
    EXPECT_EQ(HIDGetNextDevice(first), nullptr);

    EXPECT_EQ(HIDGetFirstDevice(), first);
    EXPECT_EQ(HIDGetNextDevice(first), second);
}
