// The diagnostic lines: which pieces appear, in which order, with which numbers.
#include "ElementDeviceList.h"
#include "EveryElementType.h"

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

// The usage-name piece, which depends on whether a usage list has been found in this process.
std::string usageNamePiece(long page, long usage)
{
    CFStringRef name = HIDCopyUsageName(page, usage);
    if (name == nullptr)
        return "";
    char text[256];
    CFStringGetCString(name, text, sizeof text, kCFStringEncodingUTF8);
    CFRelease(name);
    return std::string("\"") + text + "\", ";
}

std::string printed(const std::function<void()>& dump)
{
    testing::internal::CaptureStdout();
    dump();
    return testing::internal::GetCapturedStdout();
}

using DeviceDump = ElementDeviceList;

//==============================================================================
// Faults guarded against: a missing property printed as 0 instead of left out,
// pieces out of order, the device usage not replaced by the primary one.

TEST_F(DeviceDump, LeavesOutWhatTheDeviceDoesNotHave)
{
    Properties properties;
    properties.setString(kIOHIDManufacturerKey, "Maker").setString(kIOHIDProductKey, "Pad");
    properties.setNumber(kIOHIDVendorIDKey, 0x1209).setNumber(kIOHIDPrimaryUsagePageKey, 1);
    properties.setNumber(kIOHIDPrimaryUsageKey, 6).setNumber(kIOHIDVersionNumberKey, 0x0123);
    properties.setString(kIOHIDTransportKey, "USB").setNumber(kIOHIDLocationIDKey, 0x14100000);
    properties.setNumber(kIOHIDMaxInputReportSizeKey, 4).setNumber(kIOHIDMaxOutputReportSizeKey, 64);
    properties.setNumber(kIOHIDMaxFeatureReportSizeKey, 0);
    IOHIDDeviceRef device = attachDescribed({}, properties);

    EXPECT_EQ(printed([&] { HIDDumpDeviceInfo(device); }),
              "Device: " + pointer(device) + " = { Maker - Pad, \tvendorID:\t0x1209, usage: 0x0001:0x0006, "
                  + usageNamePiece(1, 6)
                  + "Transport: \"USB\", version: 291, locationID: 0x14100000, MaxInputReportSize: 4, "
                    "MaxOutputReportSize: 64, }\n");
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
                  + usageNamePiece(0xFF00, 1)
                  + "Transport: \"USB\", VendorIDSource: 2, version: 272, SerialNumber: \"A1\", CountryCode: 33, "
                    "locationID: 0x80000000, MaxInputReportSize: 64, MaxOutputReportSize: 64, "
                    "MaxFeatureReportSize: 8, ReportInterval: 8000, queue: "
                  + pointer(queue) + ", transaction: " + pointer(transaction) + ", }\n");
    CFRelease(queue);
}

//==============================================================================
// Faults guarded against: equal extremes printed, an unnamed collection type
// printed as a name, a null element printed at all.

using ElementDump = ElementDeviceList;

TEST_F(ElementDump, PrintsTheElementsPiecesAndLeavesOutEqualExtremes)
{
    const auto elements = allElements(attachDescribed(everyElementType));
    IOHIDElementRef axis = elements[xAxis];
    EXPECT_EQ(printed([&] { HIDDumpElementInfo(axis); }),
              "    Element: " + pointer(axis) + " = { parent: " + pointer(elements[applicationCollection])
                  + ", cookie: 3, type: Axis, usage: 0x0001:0x0030, " + usageNamePiece(1, 0x30)
                  + "report: { ID: 0, Size: 8, Count: 1 }, logical: {min: 0, max: 255}, "
                    "physical: {min: 0, max: 255}, hasPreferredState,  }\n");

    IOHIDElementRef constant = elements[feature];
    EXPECT_EQ(printed([&] { HIDDumpElementInfo(constant); }),
              "    Element: " + pointer(constant) + " = { parent: " + pointer(elements[applicationCollection])
                  + ", cookie: 7, type: Feature, usage: 0xFF00:0x0001, " + usageNamePiece(0xFF00, 1)
                  + "report: { ID: 0, Size: 8, Count: 1 }, hasPreferredState,  }\n");
}

TEST_F(ElementDump, CollectionsPrintTheirTypeByNameOrInPointerForm)
{
    const auto elements = allElements(attachDescribed(everyElementType));
    IOHIDElementRef application = elements[applicationCollection];
    EXPECT_EQ(printed([&] { HIDDumpElementInfo(application); }),
              "    Element: " + pointer(application) + " = { parent: " + pointer(nullptr)
                  + ", cookie: 1, type: Application Collection, usage: 0x0001:0x0006, " + usageNamePiece(1, 6)
                  + "report: { ID: 0, Size: 0, Count: 0 }, hasPreferredState,  }\n");

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
