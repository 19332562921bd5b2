#include "App/Mac/HidUtil/HIDUtilities/VirtualDeviceList.h"

namespace
{
using platform::virtualhid::Properties;

class DeviceProperties : public VirtualDeviceList
{
protected:
    // The single device of a fresh list built over these properties.
    IOHIDDeviceRef deviceWith(const Properties& properties)
    {
        attach(properties);
        EXPECT_TRUE(HIDBuildDeviceList(0, 0));
        return HIDGetFirstDevice();
    }
};
} // namespace

//==============================================================================
TEST_F(DeviceProperties, NumbersReadAsZeroExtended32BitValues)
{
    const IOHIDDeviceRef device = deviceWith(Properties()
        .setNumber(kIOHIDVendorIDKey, 0x1209)
        .setNumber(kIOHIDVersionNumberKey, 0x0123)
        .setNumber(kIOHIDLocationIDKey, 0x80000001LL)
        .setNumber(kIOHIDDeviceUsagePageKey, 1)
        .setNumber(kIOHIDPrimaryUsagePageKey, 0xFF00));
    ASSERT_NE(device, nullptr);

    EXPECT_EQ(IOHIDDevice_GetVendorID(device), 0x1209);
    EXPECT_EQ(IOHIDDevice_GetVersionNumber(device), 0x0123);
    EXPECT_EQ(IOHIDDevice_GetLocationID(device), 0x80000001L) << "never negative";
    EXPECT_EQ(IOHIDDevice_GetUsagePage(device), 1u);
    EXPECT_EQ(IOHIDDevice_GetPrimaryUsagePage(device), 0xFF00u);
}

TEST_F(DeviceProperties, MissingOrNonNumberPropertiesReadAsZero)
{
    const IOHIDDeviceRef device = deviceWith(Properties().setString(kIOHIDProductIDKey, "fourteen"));
    ASSERT_NE(device, nullptr);

    EXPECT_EQ(IOHIDDevice_GetProductID(device), 0);
    EXPECT_EQ(IOHIDDevice_GetUsagePage(device), 0u);
    EXPECT_EQ(IOHIDDevice_GetManufacturer(device), nullptr);
    EXPECT_EQ(IOHIDDevice_GetVendorID(nullptr), 0);
    EXPECT_EQ(IOHIDDevice_GetTransport(nullptr), nullptr);

    long untouched = 77;
    EXPECT_FALSE(IOHIDDevice_GetLongProperty(device, CFSTR(kIOHIDProductIDKey), &untouched));
    EXPECT_FALSE(IOHIDDevice_GetLongProperty(nullptr, CFSTR(kIOHIDProductIDKey), &untouched));
    EXPECT_EQ(untouched, 77);
}

TEST_F(DeviceProperties, AWideNumberIsReadInexactlyAsItsLow32Bits)
{
    const IOHIDDeviceRef device = deviceWith(Properties().setNumber(kIOHIDReportIntervalKey, (1LL << 32) + 1));
    ASSERT_NE(device, nullptr);

    long value = 0;
    EXPECT_FALSE(IOHIDDevice_GetLongProperty(device, CFSTR(kIOHIDReportIntervalKey), &value));
    EXPECT_EQ(value, 1);
}

TEST_F(DeviceProperties, StringsAreTheDevicesOwn)
{
    const IOHIDDeviceRef device = deviceWith(Properties().setString(kIOHIDProductKey, "KVX-TN").setString(kIOHIDTransportKey, "USB"));
    ASSERT_NE(device, nullptr);

    char text[16] = {};
    ASSERT_TRUE(CFStringGetCString(IOHIDDevice_GetProduct(device), text, sizeof text, kCFStringEncodingUTF8));
    EXPECT_STREQ(text, "KVX-TN");
    EXPECT_TRUE(CFEqual(IOHIDDevice_GetTransport(device), CFSTR("USB")));
}

TEST_F(DeviceProperties, ASetNumberKeepsOnlyItsLow32Bits)
{
    const IOHIDDeviceRef device = deviceWith(Properties());
    ASSERT_NE(device, nullptr);

    IOHIDDevice_SetLongProperty(device, CFSTR("Calibration"), (1L << 32) + 0xFFFFFFFFL);
    long value = 0;
    EXPECT_TRUE(IOHIDDevice_GetLongProperty(device, CFSTR("Calibration"), &value));
    EXPECT_EQ(value, 0xFFFFFFFFL);

    IOHIDDevice_SetLongProperty(nullptr, CFSTR("Calibration"), 1);
}

//==============================================================================
TEST_F(DeviceProperties, AQueueReferenceComesBackWhole)
{
    const IOHIDDeviceRef device = deviceWith(Properties());
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(IOHIDDevice_GetQueue(device), nullptr);

    const IOHIDQueueRef queue = IOHIDQueueCreate(kCFAllocatorDefault, device, 50, 0);
    ASSERT_NE(queue, nullptr);
    IOHIDDevice_SetQueue(device, queue);
    EXPECT_EQ(IOHIDDevice_GetQueue(device), queue);

    IOHIDDevice_SetQueue(device, nullptr);
    EXPECT_EQ(IOHIDDevice_GetQueue(device), nullptr);
    CFRelease(queue);
}

TEST_F(DeviceProperties, ATransactionReferenceIsKeptWithoutATypeCheck)
{
    const IOHIDDeviceRef device = deviceWith(Properties());
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(IOHIDDevice_GetTransaction(device), nullptr);

    const auto anything = reinterpret_cast<IOHIDTransactionRef>(0x7FFF12345678L);
    IOHIDDevice_SetTransaction(device, anything);
    EXPECT_EQ(IOHIDDevice_GetTransaction(device), anything);
}

//==============================================================================
TEST_F(DeviceProperties, OnlyHIDDevicesAreValid)
{
    const IOHIDDeviceRef device = deviceWith(Properties());
    EXPECT_TRUE(HIDIsValidDevice(device));
    EXPECT_FALSE(HIDIsValidDevice(nullptr));
    EXPECT_FALSE(HIDIsValidDevice(reinterpret_cast<IOHIDDeviceRef>(const_cast<void*>(static_cast<const void*>(CFSTR("no device"))))));
}

TEST(DevicePropertiesDeathTest, AnotherObjectTypeStopsTheProgramNamingTheCheck)
{
    const auto notADevice = reinterpret_cast<IOHIDDeviceRef>(const_cast<void*>(static_cast<const void*>(CFSTR("no device"))));
    EXPECT_DEATH(IOHIDDevice_GetVendorID(notADevice),
                 "IOHIDDeviceGetTypeID\\(\\) == CFGetTypeID\\(inIOHIDDeviceRef\\).*IOHIDDevice_GetLongProperty");
    EXPECT_DEATH(IOHIDDevice_GetProduct(notADevice), "IOHIDDeviceGetTypeID\\(\\) == CFGetTypeID\\(inIOHIDDeviceRef\\)");
}

//==============================================================================
TEST_F(DeviceProperties, TheRegistryServiceIsFoundByLocation)
{
    const IOHIDDeviceRef located = deviceWith(Properties().setNumber(kIOHIDLocationIDKey, 0x01230000));
    const io_service_t service = AllocateHIDObjectFromIOHIDDeviceRef(located);
    EXPECT_NE(service, 0u);
    EXPECT_TRUE(FreeHIDObject(service));

    EXPECT_EQ(AllocateHIDObjectFromIOHIDDeviceRef(nullptr), 0u);
}

TEST_F(DeviceProperties, ADeviceWithoutLocationHasNoRegistryService)
{
    const IOHIDDeviceRef unlocated = deviceWith(Properties().setString(kIOHIDProductKey, "somewhere"));
    EXPECT_EQ(AllocateHIDObjectFromIOHIDDeviceRef(unlocated), 0u);
    EXPECT_FALSE(FreeHIDObject(0));
}
