#include "HidrawTestSupport.h"

#include <CoreFoundation/CoreFoundation.h>

using namespace kvxtest;

namespace
{
// A configuration with the HID interface 0 whose HID descriptor gives country code 33.
const std::vector<uint8_t> usbDescriptors = {
    18, 0x01, 0x00, 0x02, 0, 0, 0, 64, 0x09, 0x12, 0x0e, 0x00, 0x23, 0x01, 1, 2, 3, 1,
    9, 0x02, 34, 0, 1, 1, 0, 0x80, 50,
    9, 0x04, 0, 0, 1, 0x03, 0, 0, 0,
    9, 0x21, 0x11, 0x01, 33, 1, 0x22, 27, 0,
    7, 0x05, 0x81, 0x03, 64, 0, 1
};

std::vector<std::pair<uint32_t, uint32_t>> usagePairs(IOHIDDeviceRef device)
{
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    const auto array = static_cast<CFArrayRef>(IOHIDDeviceGetProperty(device, CFSTR("DeviceUsagePairs")));
    if (array == nullptr)
        return pairs;
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
    {
        const auto pair = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(array, i));
        SInt32 page = 0;
        SInt32 usage = 0;
        CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(pair, CFSTR("DeviceUsagePage"))), kCFNumberSInt32Type, &page);
        CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(pair, CFSTR("DeviceUsage"))), kCFNumberSInt32Type, &usage);
        pairs.emplace_back(static_cast<uint32_t>(page), static_cast<uint32_t>(usage));
    }
    return pairs;
}

class HidrawDeviceProperties : public HidrawSuite
{
};
} // namespace

// The controller link finds the controller and its firmware version through
// these: a property read from the wrong place would hide the controller.
TEST_F(HidrawDeviceProperties, UsbDeviceHasEveryPropertyOfItsSysfsTree)
{
    auto description = controllerOnPort("2.3");
    description.usb->rawDescriptors = usbDescriptors;
    testbed->plugIn(description);
    OpenManager manager;

    IOHIDDeviceRef device = manager.deviceWith("LocationID", 0x01230000);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(numberProperty(device, "VendorID"), 0x1209u);
    EXPECT_EQ(numberProperty(device, "ProductID"), 0x000eu);
    EXPECT_EQ(numberProperty(device, "VersionNumber"), 0x0123u);
    EXPECT_EQ(stringProperty(device, "Manufacturer"), "Maker");
    EXPECT_EQ(stringProperty(device, "Product"), "KVX-TN");
    EXPECT_EQ(stringProperty(device, "SerialNumber"), "KVX0001");
    EXPECT_EQ(stringProperty(device, "Transport"), "USB");
    EXPECT_EQ(numberProperty(device, "CountryCode"), 33u);
    EXPECT_EQ(numberProperty(device, "PrimaryUsagePage"), 0xFF00u);
    EXPECT_EQ(numberProperty(device, "PrimaryUsage"), 1u);
    EXPECT_EQ(numberProperty(device, "DeviceUsagePage"), 0xFF00u);
    EXPECT_EQ(numberProperty(device, "DeviceUsage"), 1u);
    EXPECT_EQ(usagePairs(device), (std::vector<std::pair<uint32_t, uint32_t>> { { 0xFF00u, 1u } }));
    EXPECT_EQ(numberProperty(device, "MaxInputReportSize"), 64u);
    EXPECT_EQ(numberProperty(device, "MaxOutputReportSize"), 64u);
    EXPECT_EQ(numberProperty(device, "MaxFeatureReportSize"), 0u);
    EXPECT_FALSE(hasProperty(device, "ReportInterval"));
}

// A zero where the system gave nothing would read as a real value.
TEST_F(HidrawDeviceProperties, WhatTheSystemDoesNotGiveIsMissingNotZero)
{
    auto description = controllerOnPort("4");
    description.usb->manufacturer.clear();
    description.usb->product.clear();
    description.usb->serial.clear();
    description.reportDescriptor.clear();
    testbed->plugIn(description);
    OpenManager manager;

    IOHIDDeviceRef device = manager.deviceWith("LocationID", 0x01400000);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(numberProperty(device, "VendorID"), 0x1209u);
    for (const char* key : { "Manufacturer", "Product", "SerialNumber", "CountryCode", "PrimaryUsagePage",
                             "PrimaryUsage", "DeviceUsagePage", "DeviceUsage", "DeviceUsagePairs",
                             "MaxInputReportSize", "MaxOutputReportSize", "MaxFeatureReportSize" })
        EXPECT_FALSE(hasProperty(device, key)) << key;
}

TEST_F(HidrawDeviceProperties, DeviceOnAnotherBusIsDescribedByItsHidParent)
{
    EmulatedHidDescription description;
    description.bus = HidBus::bluetooth;
    description.vendorID = 0x046d;
    description.productID = 0xb012;
    description.name = "Remote Pad";
    description.physicalPath = "00:1a:7d:da:71:13";
    description.uniqueID = "e8:9f:6d:01:02:03";
    description.reportDescriptor = vendorReportDescriptor(8, 4);
    testbed->plugIn(description);
    OpenManager manager;

    IOHIDDeviceRef device = manager.deviceWith("ProductID", 0xb012);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(numberProperty(device, "VendorID"), 0x046du);
    EXPECT_EQ(stringProperty(device, "Transport"), "Bluetooth");
    EXPECT_EQ(stringProperty(device, "Product"), "Remote Pad");
    EXPECT_EQ(stringProperty(device, "SerialNumber"), "e8:9f:6d:01:02:03");
    EXPECT_TRUE(hasProperty(device, "LocationID"));
    EXPECT_EQ(numberProperty(device, "MaxInputReportSize"), 8u);
    EXPECT_EQ(numberProperty(device, "MaxOutputReportSize"), 4u);
    EXPECT_FALSE(hasProperty(device, "VersionNumber"));
    EXPECT_FALSE(hasProperty(device, "Manufacturer"));
}

// Of two controllers the updater takes the one with the lower LocationID.
TEST_F(HidrawDeviceProperties, TwoUsbDevicesAreOrderedByBusAndPortPath)
{
    testbed->plugIn(controllerOnPort("3"));
    testbed->plugIn(controllerOnPort("2.5"));
    OpenManager manager;

    std::vector<uint32_t> locations;
    for (IOHIDDeviceRef device : manager.devices())
        locations.push_back(numberProperty(device, "LocationID").value_or(0));
    std::sort(locations.begin(), locations.end());
    EXPECT_EQ(locations, (std::vector<uint32_t> { 0x01250000u, 0x01300000u }));
}
