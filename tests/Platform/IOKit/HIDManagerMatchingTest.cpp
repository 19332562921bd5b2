#include "Platform/IOKit/HIDTestSupport.h"

namespace
{
using namespace platformtest;
using Locations = std::vector<long>;

// Four attached devices: a keyboard, a mouse, a vendor-defined controller and a
// consumer-control device that also has a keyboard collection.
class HIDManagerMatching : public VirtualDevicesTest
{
protected:
    HIDManagerMatching()
    {
        for (auto* device : { keyboard.get(), mouse.get(), controller.get(), media.get() })
            device->attach();
    }

    void match(const Retained<CFDictionaryRef>& dictionary)
    {
        IOHIDManagerSetDeviceMatching(manager.get(), dictionary.get());
    }

    void matchAny(std::initializer_list<CFTypeRef> dictionaries)
    {
        std::vector<CFTypeRef> values(dictionaries);
        auto array = Retained<CFArrayRef>::adopt(
            CFArrayCreate(kCFAllocatorDefault, values.data(), static_cast<CFIndex>(values.size()), &kCFTypeArrayCallBacks));
        IOHIDManagerSetDeviceMatchingMultiple(manager.get(), array.get());
    }

    Locations matched() const { return locationsOf(manager.get()); }

    static std::unique_ptr<platform::virtualhid::Device> makeMediaDevice()
    {
        platform::virtualhid::Properties properties;
        properties.setNumber(kIOHIDLocationIDKey, 4)
            .setNumber(kIOHIDPrimaryUsagePageKey, 0x0c)
            .setNumber(kIOHIDPrimaryUsageKey, 1)
            .addUsagePair(0x0c, 1)
            .addUsagePair(1, 6);
        return std::make_unique<platform::virtualhid::Device>(properties);
    }

    std::unique_ptr<platform::virtualhid::Device> keyboard = makeDevice(1, 1, 6);
    std::unique_ptr<platform::virtualhid::Device> mouse = makeDevice(2, 1, 2);
    std::unique_ptr<platform::virtualhid::Device> controller = makeDevice(3, 0xff00, 1);
    std::unique_ptr<platform::virtualhid::Device> media = makeMediaDevice();
};

//==============================================================================
// Which devices a description takes.
TEST_F(HIDManagerMatching, WithoutMatchingTheSetIsEmptyAndCopiedAsNull)
{
    EXPECT_EQ(IOHIDManagerCopyDevices(manager.get()), nullptr);
}

TEST_F(HIDManagerMatching, NullMatchesEveryDevice)
{
    IOHIDManagerSetDeviceMatching(manager.get(), nullptr);
    EXPECT_EQ(matched(), (Locations { 1, 2, 3, 4 }));
}

TEST_F(HIDManagerMatching, UsagePageAloneMatchesEveryUsageOfThatPage)
{
    match(numbers({ { kIOHIDPrimaryUsagePageKey, 1 } }));
    EXPECT_EQ(matched(), (Locations { 1, 2 }));
}

TEST_F(HIDManagerMatching, UsagePageAndUsageMatchBoth)
{
    match(numbers({ { kIOHIDPrimaryUsagePageKey, 1 }, { kIOHIDPrimaryUsageKey, 6 } }));
    EXPECT_EQ(matched(), (Locations { 1 }));
}

TEST_F(HIDManagerMatching, KeyTheDeviceLacksNeverMatches)
{
    match(numbers({ { kIOHIDVendorIDKey, 0x1209 } }));
    EXPECT_EQ(IOHIDManagerCopyDevices(manager.get()), nullptr);
}

TEST_F(HIDManagerMatching, DeviceUsageMatchesAnyOfTheDevicesUsagePairs)
{
    match(numbers({ { kIOHIDDeviceUsagePageKey, 1 }, { kIOHIDDeviceUsageKey, 6 } }));
    EXPECT_EQ(matched(), (Locations { 4 }));
    match(numbers({ { kIOHIDDeviceUsagePageKey, 0x0c } }));
    EXPECT_EQ(matched(), (Locations { 4 }));
    match(numbers({ { kIOHIDDeviceUsagePageKey, 1 }, { kIOHIDDeviceUsageKey, 2 } }));
    EXPECT_EQ(IOHIDManagerCopyDevices(manager.get()), nullptr);
}

TEST_F(HIDManagerMatching, DeviceWithoutPairsIsJudgedByItsOwnUsage)
{
    platform::virtualhid::Properties properties;
    properties.setNumber(kIOHIDLocationIDKey, 5).setNumber(kIOHIDDeviceUsagePageKey, 1).setNumber(kIOHIDDeviceUsageKey, 5);
    platform::virtualhid::Device gamepad(properties);
    gamepad.attach();
    match(numbers({ { kIOHIDDeviceUsagePageKey, 1 }, { kIOHIDDeviceUsageKey, 5 } }));
    EXPECT_EQ(matched(), (Locations { 5 }));
}

//==============================================================================
// Arrays of descriptions: any one of them takes a device.
TEST_F(HIDManagerMatching, ArrayMatchesADeviceThatAnyDictionaryMatches)
{
    auto mice = numbers({ { kIOHIDPrimaryUsagePageKey, 1 }, { kIOHIDPrimaryUsageKey, 2 } });
    auto vendorPage = numbers({ { kIOHIDPrimaryUsagePageKey, 0xff00 } });
    matchAny({ mice.get(), vendorPage.get() });
    EXPECT_EQ(matched(), (Locations { 2, 3 }));
}

TEST_F(HIDManagerMatching, NullArrayMatchesEveryDeviceAndEmptyArrayNone)
{
    IOHIDManagerSetDeviceMatchingMultiple(manager.get(), nullptr);
    EXPECT_EQ(matched(), (Locations { 1, 2, 3, 4 }));
    matchAny({});
    EXPECT_EQ(IOHIDManagerCopyDevices(manager.get()), nullptr);
}

//==============================================================================
// Changing the description, and devices that arrive later.
TEST_F(HIDManagerMatching, RematchingKeepsTheDeviceObjectsOfDevicesThatStillMatch)
{
    IOHIDManagerSetDeviceMatching(manager.get(), nullptr);
    IOHIDDeviceRef keyboardObject = deviceAt(manager.get(), 1);
    ASSERT_NE(keyboardObject, nullptr);
    match(numbers({ { kIOHIDPrimaryUsagePageKey, 1 } }));
    EXPECT_EQ(matched(), (Locations { 1, 2 }));
    EXPECT_EQ(deviceAt(manager.get(), 1), keyboardObject);
}

TEST_F(HIDManagerMatching, CallersDictionaryMayChangeAfterwards)
{
    auto dictionary = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(dictionary, CFSTR(kIOHIDPrimaryUsagePageKey), number(0xff00).get());
    IOHIDManagerSetDeviceMatching(manager.get(), dictionary);
    CFDictionarySetValue(dictionary, CFSTR(kIOHIDPrimaryUsagePageKey), number(1).get());
    CFRelease(dictionary);
    keyboard->detach();
    keyboard->attach();
    EXPECT_EQ(matched(), (Locations { 3 }));
}

TEST_F(HIDManagerMatching, DeviceArrivingLaterJoinsOnlyWhenItMatches)
{
    match(numbers({ { kIOHIDPrimaryUsagePageKey, 1 }, { kIOHIDPrimaryUsageKey, 6 } }));
    auto secondKeyboard = makeDevice(7, 1, 6);
    auto secondMouse = makeDevice(8, 1, 2);
    secondKeyboard->attach();
    secondMouse->attach();
    EXPECT_EQ(matched(), (Locations { 1, 7 }));
}
} // namespace
