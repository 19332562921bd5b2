// The diagnostic lines: which pieces appear, in which order, with which numbers.
#include "BundleFolders.h"
#include "ElementDeviceList.h"
#include "EveryElementType.h"
#include "UsageNameList.h"

#include <cstdio>
#include <functional>
#include <string>

namespace
{
using platform::virtualhid::Properties;

std::string pointer(const void* reference)
{
    char text[32];
    std::snprintf(text, sizeof text, "%p", reference);
    return text;
}

std::string printed(const std::function<void()>& dump)
{
    testing::internal::CaptureStdout();
    dump();
    return testing::internal::GetCapturedStdout();
}

// Whichever test lets the lookup find a usage list first, it finds the tests' one.
class Dump : public ElementDeviceList
{
protected:
    void SetUp() override
    {
        ElementDeviceList::SetUp();
        BundleFolders::writeList(bundles.add(), "HID_usage_strings", usageNameList);
    }

    BundleFolders bundles;
};

using DeviceDump = Dump;

//==============================================================================
// Faults guarded against: a missing property printed as 0 instead of left out,
// pieces out of order, the device usage not replaced by the primary one when
// either of its numbers is missing.

TEST_F(DeviceDump, LeavesOutWhatTheDeviceDoesNotHave)
{
    Properties properties;
    properties.setString(kIOHIDManufacturerKey, "Maker").setString(kIOHIDProductKey, "Pad");
    properties.setNumber(kIOHIDVendorIDKey, 0x1209).setNumber(kIOHIDDeviceUsagePageKey, 0xFF00);
    properties.setNumber(kIOHIDPrimaryUsagePageKey, 1);
    properties.setNumber(kIOHIDPrimaryUsageKey, 6).setNumber(kIOHIDVersionNumberKey, 0x0123);
    properties.setString(kIOHIDTransportKey, "USB").setNumber(kIOHIDLocationIDKey, 0x14100000);
    properties.setNumber(kIOHIDMaxInputReportSizeKey, 4).setNumber(kIOHIDMaxOutputReportSizeKey, 64);
    properties.setNumber(kIOHIDMaxFeatureReportSizeKey, 0);
    IOHIDDeviceRef device = attachDescribed({}, properties);

    EXPECT_EQ(printed([&] { HIDDumpDeviceInfo(device); }),
              "Device: " + pointer(device) + " = { Maker - Pad, \tvendorID:\t0x1209, usage: 0x0001:0x0006, "
                  "\"Generic Desktop Keyboard\", Transport: \"USB\", version: 291, locationID: 0x14100000, "
                  "MaxInputReportSize: 4, MaxOutputReportSize: 64, }\n");
}

TEST_F(DeviceDump, PrintsEveryPieceInItsPlace)
{
    Properties properties;
    properties.setNumber(kIOHIDVendorIDKey, 0x1209).setNumber(kIOHIDProductIDKey, 14);
    properties.setNumber(kIOHIDDeviceUsagePageKey, 0xFF00).setNumber(kIOHIDDeviceUsageKey, 1);
    properties.setNumber(kIOHIDPrimaryUsagePageKey, 1).setNumber(kIOHIDPrimaryUsageKey, 6);
    properties.setString(kIOHIDTransportKey, "USB").setNumber(kIOHIDVendorIDSourceKey, 2);
    properties.setNumber(kIOHIDVersionNumberKey, 0x0110).setString(kIOHIDSerialNumberKey, "A1");
    properties.setNumber(kIOHIDCountryCodeKey, 33).setNumber(kIOHIDLocationIDKey, 0x80000000LL);
    properties.setNumber(kIOHIDMaxInputReportSizeKey, 64).setNumber(kIOHIDMaxOutputReportSizeKey, 64);
    properties.setNumber(kIOHIDMaxFeatureReportSizeKey, 8).setNumber(kIOHIDReportIntervalKey, 8000);
    IOHIDDeviceRef device = attachDescribed({}, properties);
    IOHIDQueueRef queue = IOHIDQueueCreate(kCFAllocatorDefault, device, 4, 0);
    IOHIDDevice_SetQueue(device, queue);
    const auto transaction = reinterpret_cast<IOHIDTransactionRef>(static_cast<uintptr_t>(0x5000));
    IOHIDDevice_SetTransaction(device, transaction);

    EXPECT_EQ(printed([&] { HIDDumpDeviceInfo(device); }),
              "Device: " + pointer(device) + " = {  - , \tvendorID:\t0x1209, \tproductID:\t0x000E, usage: 0xFF00:0x0001, "
                  "Transport: \"USB\", VendorIDSource: 2, version: 272, SerialNumber: \"A1\", CountryCode: 33, "
                  "locationID: 0x80000000, MaxInputReportSize: 64, MaxOutputReportSize: 64, "
                  "MaxFeatureReportSize: 8, ReportInterval: 8000, queue: "
                  + pointer(queue) + ", transaction: " + pointer(transaction) + ", }\n");
    CFRelease(queue);
}

//==============================================================================
// Faults guarded against: equal extremes printed, a unit left out, an unnamed
// collection type printed as a name, a null element printed at all.

using ElementDump = Dump;

// A Y axis in centimetres (unit 0x11) times ten to the power -2, which the
// descriptor writes in its 4-bit form, 0xE.
const std::vector<uint8_t> centimetreAxis = {
    0x05, 0x01, 0x09, 0x04, 0xA1, 0x01,             // Generic Desktop, Joystick, Collection (Application)
    0x15, 0x00, 0x25, 0x64, 0x65, 0x11, 0x55, 0x0E, //   Logical 0..100, Unit cm, Unit Exponent -2
    0x75, 0x08, 0x95, 0x01, 0x09, 0x31, 0x81, 0x02, //   Y: 8 bits, Input (Variable)
    0xC0,
};

TEST_F(ElementDump, PrintsTheElementsPiecesAndLeavesOutEqualExtremes)
{
    const auto elements = allElements(attachDescribed(everyElementType));
    IOHIDElementRef axis = elements[xAxis];
    EXPECT_EQ(printed([&] { HIDDumpElementInfo(axis); }),
              "    Element: " + pointer(axis) + " = { parent: " + pointer(elements[applicationCollection])
                  + ", cookie: 3, type: Axis, usage: 0x0001:0x0030, \"Generic Desktop X\", "
                  "report: { ID: 0, Size: 8, Count: 1 }, logical: {min: 0, max: 255}, "
                  "physical: {min: 0, max: 255}, hasPreferredState,  }\n");

    IOHIDElementRef constant = elements[feature];
    EXPECT_EQ(printed([&] { HIDDumpElementInfo(constant); }),
              "    Element: " + pointer(constant) + " = { parent: " + pointer(elements[applicationCollection])
                  + ", cookie: 7, type: Feature, usage: 0xFF00:0x0001, "
                  "report: { ID: 0, Size: 8, Count: 1 }, hasPreferredState,  }\n");
}

TEST_F(ElementDump, AUnitPrintsWithItsExponentInTheDescriptorsForm)
{
    const auto elements = allElements(attachDescribed(centimetreAxis));
    EXPECT_EQ(printed([&] { HIDDumpElementInfo(elements[1]); }),
              "    Element: " + pointer(elements[1]) + " = { parent: " + pointer(elements[0])
                  + ", cookie: 2, type: Axis, usage: 0x0001:0x0031, \"Generic Desktop Y\", "
                  "report: { ID: 0, Size: 8, Count: 1 }, unit: 17 * 10^14, logical: {min: 0, max: 100}, "
                  "physical: {min: 0, max: 100}, hasPreferredState,  }\n");
}

TEST_F(ElementDump, CollectionsPrintTheirTypeByNameOrInPointerForm)
{
    const auto elements = allElements(attachDescribed(everyElementType));
    IOHIDElementRef application = elements[applicationCollection];
    EXPECT_EQ(printed([&] { HIDDumpElementInfo(application); }),
              "    Element: " + pointer(application) + " = { parent: " + pointer(nullptr)
                  + ", cookie: 1, type: Application Collection, usage: 0x0001:0x0006, \"Generic Desktop Keyboard\", "
                  "report: { ID: 0, Size: 0, Count: 0 }, hasPreferredState,  }\n");

    const std::string typeNine = printed([&] { HIDDumpElementInfo(elements[typeNineCollection]); });
    EXPECT_NE(typeNine.find(", type: " + pointer(reinterpret_cast<void*>(9)) + " Collection, usage: 0xFF00:0x0002, "),
              std::string::npos)
        << typeNine;
    EXPECT_EQ(printed([] { HIDDumpElementInfo(nullptr); }), "");
}

TEST_F(ElementDump, CalibrationLineOfAFreshElementShowsTheDefaultsAndStoresThem)
{
    IOHIDElementRef axis = allElements(attachDescribed(everyElementType))[xAxis];
    IOHIDElementSetProperty(axis, CFSTR(kIOHIDElementMinKey), CFSTR("none"));
    IOHIDElementSetProperty(axis, CFSTR(kIOHIDElementMaxKey), CFSTR("none"));
    const std::string expected = "    Element: " + pointer(axis)
                               + " = { cal: {min: 2147483647, max: -2147483647}, "
                                 "sat: {min: -2147483647, max: -2147483647}, "
                                 "dead: {min: -2147483647, max: -2147483647}, granularity: -2147483647.00 }\n";
    EXPECT_EQ(printed([&] { HIDDumpElementCalibrationInfo(axis); }), expected);
    IOHIDElementSetProperty(axis, CFSTR(kIOHIDElementMinKey), CFSTR("still none"));
    EXPECT_EQ(printed([&] { HIDDumpElementCalibrationInfo(axis); }), expected);
    EXPECT_NE(IOHIDElementGetProperty(axis, CFSTR("CalibrationGranularity")), nullptr);
}

} // namespace
