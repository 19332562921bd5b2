// Elements as the HID manager presents them: the parsed descriptor of real
// devices through the public calls, stable identities, and per-element properties.
#include "Platform/IOKit/DescriptorFiles.h"
#include "Platform/IOKit/IOHIDElementTestSupport.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace
{
using namespace platformtest;
namespace fs = std::filesystem;

std::vector<fs::path> descriptorFiles()
{
    return hexFilesIn(descriptorFolder());
}

//==============================================================================
// The element lines of the summary kept beside each descriptor, written from
// the public calls alone; what those do not show (bit offsets, array slots,
// constant fields) is taken out of the expected text.
std::string hex(uint32_t value, int digits)
{
    std::ostringstream text;
    text << "0x" << std::uppercase << std::hex << std::setw(digits) << std::setfill('0') << value;
    return text.str();
}

std::string typeText(IOHIDElementRef element)
{
    static const char* const collectionNames[] = { "physical", "application", "logical", "report",
                                                   "named-array", "usage-switch", "usage-modifier" };
    switch (IOHIDElementGetType(element))
    {
        case kIOHIDElementTypeInput_Misc:      return "misc";
        case kIOHIDElementTypeInput_Button:    return "button";
        case kIOHIDElementTypeInput_Axis:      return "axis";
        case kIOHIDElementTypeInput_ScanCodes: return "scancodes";
        case kIOHIDElementTypeOutput:          return "output";
        case kIOHIDElementTypeFeature:         return "feature";
        case kIOHIDElementTypeCollection:      break;
    }
    const auto collectionType = static_cast<uint32_t>(IOHIDElementGetCollectionType(element));
    return std::string("collection ")
         + (collectionType < 7 ? collectionNames[collectionType] : std::to_string(collectionType));
}

int decodedExponent(uint32_t nibble)
{
    return nibble <= 7 ? static_cast<int>(nibble) : static_cast<int>(nibble) - 16;
}

std::string fieldText(IOHIDElementRef element)
{
    std::ostringstream text;
    text << " id " << IOHIDElementGetReportID(element) << " size " << IOHIDElementGetReportSize(element) << " count "
         << IOHIDElementGetReportCount(element) << " logical " << IOHIDElementGetLogicalMin(element) << ".."
         << IOHIDElementGetLogicalMax(element) << " physical " << IOHIDElementGetPhysicalMin(element) << ".."
         << IOHIDElementGetPhysicalMax(element);
    if (IOHIDElementGetUnit(element) != 0 || IOHIDElementGetUnitExponent(element) != 0)
        text << " unit " << hex(IOHIDElementGetUnit(element), 1) << " exp "
             << decodedExponent(IOHIDElementGetUnitExponent(element));
    const std::pair<bool, const char*> flags[] = {
        { IOHIDElementIsArray(element), " array" },        { IOHIDElementIsRelative(element), " relative" },
        { IOHIDElementIsWrapping(element), " wrapping" },  { IOHIDElementIsNonLinear(element), " nonlinear" },
        { !IOHIDElementHasPreferredState(element), " no-preferred-state" },
        { IOHIDElementHasNullState(element), " null-state" } };
    for (const auto& [set, name] : flags)
        if (set)
            text << name;
    return text.str();
}

std::string elementLines(IOHIDDeviceRef device)
{
    std::string text;
    for (IOHIDElementRef element : elementsOf(device))
    {
        size_t depth = 0;
        for (IOHIDElementRef parent = IOHIDElementGetParent(element); parent != nullptr;
             parent = IOHIDElementGetParent(parent))
            ++depth;
        text += std::to_string(IOHIDElementGetCookie(element)) + " " + std::string(2 * depth, ' ') + typeText(element)
              + " " + hex(IOHIDElementGetUsagePage(element), 4) + ":" + hex(IOHIDElementGetUsage(element), 4);
        if (IOHIDElementGetType(element) != kIOHIDElementTypeCollection)
            text += fieldText(element);
        text += "\n";
    }
    return text;
}

// Takes " bit 12", " slot -1" and " constant" out of a summary line.
std::string withoutHiddenFields(std::string line)
{
    for (const std::string field : { " bit ", " slot " })
        for (size_t at = line.find(field); at != std::string::npos; at = line.find(field, at))
            line.erase(at, line.find(' ', at + field.size()) - at);
    for (size_t at = line.find(" constant"); at != std::string::npos; at = line.find(" constant", at))
        line.erase(at, std::string(" constant").size());
    return line;
}

std::string expectedElementLines(const fs::path& summary)
{
    std::istringstream lines(readText(summary));
    std::string text;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
            text += withoutHiddenFields(line) + "\n";
    return text;
}

//==============================================================================
// Faults guarded against: the device's elements differing from its descriptor
// (a lost flag, a wrong parent, a range read with the wrong sign).

class DescriptorElements : public DevicesWithDescriptors, public ::testing::WithParamInterface<fs::path>
{
};

TEST_P(DescriptorElements, ArePresentedAsTheDescriptorDescribesThem)
{
    IOHIDDeviceRef device = attach(readHexFile(GetParam()));
    ASSERT_NE(device, nullptr);
    const auto summary = fs::path(GetParam()).replace_extension(".txt");
    EXPECT_EQ(elementLines(device), expectedElementLines(summary)) << "expected in " << summary;
}

INSTANTIATE_TEST_SUITE_P(Devices, DescriptorElements, ::testing::ValuesIn(descriptorFiles()),
                         [](const auto& info) {
                             auto name = info.param.stem().string();
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

//==============================================================================
// Faults guarded against: a fresh object per copy (so that walks comparing by
// identity fail), a dangling device or parent once the device object is gone.

// A collection holding an 8-bit X axis and two buttons.
const Bytes joystick = {
    0x05, 0x01, 0x09, 0x04, 0xA1, 0x01,             // Generic Desktop, Joystick, Collection (Application)
    0x09, 0x01, 0xA1, 0x00,                         //   Pointer, Collection (Physical)
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, //     Logical -127..127, 8 bits x 1
    0x09, 0x30, 0x81, 0x02,                         //     X, Input (Variable)
    0xC0,                                           //   End Collection
    0x05, 0x09, 0x19, 0x01, 0x29, 0x02,             //   Buttons 1..2
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x02, //   Logical 0..1, 1 bit x 2
    0x81, 0x02, 0x95, 0x06, 0x81, 0x03,             //   Input (Variable), 6 bits padding
    0xC0,                                           // End Collection
};

using ElementIdentity = DevicesWithDescriptors;

TEST_F(ElementIdentity, EveryCopyHoldsTheSameObjectsWithTheirDeviceAndParents)
{
    IOHIDDeviceRef device = attach(joystick);
    const auto first = elementsOf(device);
    ASSERT_EQ(first.size(), 5u);
    EXPECT_EQ(elementsOf(device), first);
    for (IOHIDElementRef element : first)
        EXPECT_EQ(IOHIDElementGetDevice(element), device);
    EXPECT_EQ(IOHIDElementGetParent(first[0]), nullptr);
    EXPECT_EQ(IOHIDElementGetParent(first[1]), first[0]);
    EXPECT_EQ(IOHIDElementGetParent(first[2]), first[1]);
    EXPECT_EQ(IOHIDElementGetParent(first[3]), first[0]);
    EXPECT_EQ(CFGetTypeID(first[0]), IOHIDElementGetTypeID());
}

TEST_F(ElementIdentity, AnElementKeptAfterItsDeviceObjectHasNoDevice)
{
    IOHIDDeviceRef device = attach(joystick);
    IOHIDElementRef axis = elementsOf(device)[2];
    CFRetain(axis);
    virtualDevices.back()->detach();
    manager = {};
    drainRunLoop(CFRunLoopGetMain());

    EXPECT_EQ(IOHIDElementGetDevice(axis), nullptr);
    EXPECT_EQ(IOHIDElementGetUsage(axis), 0x30u);
    ASSERT_NE(IOHIDElementGetParent(axis), nullptr);
    EXPECT_EQ(IOHIDElementGetUsage(IOHIDElementGetParent(axis)), 0x01u);
    CFRelease(axis);
}

TEST_F(ElementIdentity, DevicesWithoutADescriptorHaveNoElements)
{
    IOHIDDeviceRef device = attach({});
    auto elements = Retained<CFArrayRef>::adopt(IOHIDDeviceCopyMatchingElements(device, nullptr, 0));
    ASSERT_TRUE(elements);
    EXPECT_EQ(CFArrayGetCount(elements.get()), 0);
    EXPECT_EQ(IOHIDDeviceCopyMatchingElements(nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(IOHIDDeviceCopyMatchingElements(reinterpret_cast<IOHIDDeviceRef>(const_cast<void*>(
                                                  static_cast<const void*>(kCFBooleanTrue))),
                                              nullptr, 0),
              nullptr);
}

//==============================================================================
// Faults guarded against: "Min" and "Max" not holding the logical extremes,
// a property stored on every element of a kind instead of on one, matching that
// ignores a key.

using ElementProperties = DevicesWithDescriptors;

long numberOf(CFTypeRef value)
{
    long number = -1;
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID())
        return number;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberLongType, &number);
    return number;
}

TEST_F(ElementProperties, MinAndMaxHoldTheLogicalExtremesAndStoresStayOnOneElement)
{
    const auto elements = elementsOf(attach(joystick));
    IOHIDElementRef axis = elements[2], firstButton = elements[3], secondButton = elements[4];
    EXPECT_EQ(numberOf(IOHIDElementGetProperty(axis, CFSTR(kIOHIDElementMinKey))), -127);
    EXPECT_EQ(numberOf(IOHIDElementGetProperty(axis, CFSTR(kIOHIDElementMaxKey))), 127);
    EXPECT_EQ(IOHIDElementGetProperty(axis, CFSTR("CalibrationMin")), nullptr);

    EXPECT_TRUE(IOHIDElementSetProperty(firstButton, CFSTR("CalibrationMin"), number(7).get()));
    EXPECT_TRUE(IOHIDElementSetProperty(firstButton, CFSTR(kIOHIDElementMaxKey), number(9).get()));
    EXPECT_EQ(numberOf(IOHIDElementGetProperty(firstButton, CFSTR("CalibrationMin"))), 7);
    EXPECT_EQ(IOHIDElementGetProperty(secondButton, CFSTR("CalibrationMin")), nullptr);
    EXPECT_EQ(IOHIDElementGetLogicalMax(firstButton), 1) << "a stored property leaves the descriptor's values";
    EXPECT_FALSE(IOHIDElementSetProperty(firstButton, nullptr, kCFBooleanTrue));
    EXPECT_FALSE(IOHIDElementSetProperty(firstButton, CFSTR("x"), nullptr));
}

TEST_F(ElementProperties, MatchingSelectsByEveryKeyGiven)
{
    IOHIDDeviceRef device = attach(joystick);
    auto buttons = numbers({ { kIOHIDElementUsagePageKey, 9 } });
    auto array = Retained<CFArrayRef>::adopt(IOHIDDeviceCopyMatchingElements(device, buttons.get(), 0));
    ASSERT_EQ(CFArrayGetCount(array.get()), 2);

    auto secondButton = numbers({ { kIOHIDElementUsagePageKey, 9 }, { kIOHIDElementUsageKey, 2 } });
    array = Retained<CFArrayRef>::adopt(IOHIDDeviceCopyMatchingElements(device, secondButton.get(), 0));
    ASSERT_EQ(CFArrayGetCount(array.get()), 1);
    EXPECT_EQ(IOHIDElementGetUsage(static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(array.get(), 0)))),
              2u);

    auto collections = numbers({ { kIOHIDElementTypeKey, kIOHIDElementTypeCollection } });
    array = Retained<CFArrayRef>::adopt(IOHIDDeviceCopyMatchingElements(device, collections.get(), 0));
    EXPECT_EQ(CFArrayGetCount(array.get()), 2);

    auto nothing = numbers({ { "NoSuchKey", 1 } });
    array = Retained<CFArrayRef>::adopt(IOHIDDeviceCopyMatchingElements(device, nothing.get(), 0));
    ASSERT_TRUE(array);
    EXPECT_EQ(CFArrayGetCount(array.get()), 0);
}

TEST_F(ElementProperties, UnitExponentKeepsTheDescriptorsNibble)
{
    const Bytes withExponent = { 0x05, 0x01, 0x09, 0x30, 0x15, 0x00, 0x25, 0x64, 0x66, 0x11, 0x00,
                                 0x55, 0x0E, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02 };
    const auto elements = elementsOf(attach(withExponent));
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_EQ(IOHIDElementGetUnit(elements[0]), 0x11u);
    EXPECT_EQ(IOHIDElementGetUnitExponent(elements[0]), 0xEu);
    EXPECT_FALSE(IOHIDElementIsVirtual(elements[0]));
}

} // namespace
