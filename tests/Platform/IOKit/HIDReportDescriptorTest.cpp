#include "IOKit/HIDReportDescriptor.h"
#include "HIDReportDescriptorInvariants.h"
#include "Platform/IOKit/DescriptorFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform
{
namespace
{

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;
using namespace platformtest;

HIDReportDescriptor parse(const Bytes& bytes)
{
    return HIDReportDescriptor::parse(bytes.data(), bytes.size());
}

//==============================================================================
// The readable summary kept beside each descriptor file.
std::string hex(uint32_t value, int digits)
{
    std::ostringstream text;
    text << "0x" << std::uppercase << std::hex;
    text.width(digits);
    text.fill('0');
    text << value;
    return text.str();
}

std::string usageText(uint32_t page, uint32_t usage)
{
    return hex(page, 4) + ":" + hex(usage, 4);
}

std::string typeText(const HIDDescriptorElement& element)
{
    static const char* const collectionNames[] = { "physical", "application", "logical", "report",
                                                   "named-array", "usage-switch", "usage-modifier" };
    switch (element.type)
    {
        case HIDElementType::inputMisc:      return "misc";
        case HIDElementType::inputButton:    return "button";
        case HIDElementType::inputAxis:      return "axis";
        case HIDElementType::inputScanCodes: return "scancodes";
        case HIDElementType::output:         return "output";
        case HIDElementType::feature:        return "feature";
        case HIDElementType::collection:     break;
    }
    return "collection "
         + (element.collectionType < 7 ? collectionNames[element.collectionType] : std::to_string(element.collectionType));
}

std::string flagsText(const HIDDescriptorElement& element)
{
    std::string text;
    const std::pair<bool, const char*> flags[] = {
        { element.isConstant, " constant" },          { element.isArray, " array" },
        { element.isRelative, " relative" },          { element.isWrapping, " wrapping" },
        { element.isNonLinear, " nonlinear" },        { !element.hasPreferredState, " no-preferred-state" },
        { element.hasNullState, " null-state" } };
    for (const auto& [set, name] : flags)
        if (set)
            text += name;
    return text;
}

std::string fieldText(const HIDDescriptorElement& element)
{
    std::ostringstream text;
    text << " id " << element.reportID << " bit " << element.bitOffset << " size " << element.reportSize
         << " count " << element.reportCount << " logical " << element.logicalMin << ".." << element.logicalMax
         << " physical " << element.physicalMin << ".." << element.physicalMax;
    if (element.unit != 0 || element.unitExponent != 0)
        text << " unit " << hex(element.unit, 1) << " exp " << element.unitExponent;
    if (element.isArray)
        text << " slot " << element.arraySlotValue;
    return text.str() + flagsText(element);
}

size_t depthOf(const HIDReportDescriptor& descriptor, const HIDDescriptorElement& element)
{
    size_t depth = 0;
    for (auto parent = element.parentIndex; parent; parent = descriptor.elements[*parent].parentIndex)
        ++depth;
    return depth;
}

std::string elementLine(const HIDReportDescriptor& descriptor, const HIDDescriptorElement& element)
{
    std::string line = std::to_string(element.cookie) + " " + std::string(2 * depthOf(descriptor, element), ' ')
                     + typeText(element) + " " + usageText(element.usagePage, element.usage);
    if (element.type != HIDElementType::collection)
        line += fieldText(element);
    return line + "\n";
}

std::string summaryText(const HIDReportDescriptor& descriptor)
{
    std::ostringstream text;
    text << "primary usage " << usageText(descriptor.primaryUsage.usagePage, descriptor.primaryUsage.usage) << "\n";
    text << "usage pairs";
    for (const auto& pair : descriptor.deviceUsagePairs)
        text << " " << usageText(pair.usagePage, pair.usage);
    text << "\nreports numbered " << (descriptor.reportsNumbered ? "yes" : "no") << "\n";
    text << "max report sizes: input " << descriptor.maxInputReportSize << ", output "
         << descriptor.maxOutputReportSize << ", feature " << descriptor.maxFeatureReportSize << "\n";
    text << "issues " << hex(descriptor.issues, 1) << "\n";
    for (const auto& element : descriptor.elements)
        text << elementLine(descriptor, element);
    return text.str();
}

//==============================================================================
// Real device descriptors give the elements and sizes that the HID manager shows.
class DescriptorFile : public ::testing::TestWithParam<fs::path> {};

TEST_P(DescriptorFile, ParsesToItsExpectedSummary)
{
    const auto descriptor = parse(readHexFile(GetParam()));
    const auto expectedPath = fs::path(GetParam()).replace_extension(".txt");

    EXPECT_EQ(summaryText(descriptor), readText(expectedPath)) << "expected in " << expectedPath;
    EXPECT_EQ(testsupport::firstBrokenInvariant(descriptor), "");
}

INSTANTIATE_TEST_SUITE_P(Devices, DescriptorFile, ::testing::ValuesIn(hexFilesIn(descriptorFolder())),
                         [](const auto& info) {
                             auto name = info.param.stem().string();
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

// Every input the fuzz target ever crashed on stays here.
class DescriptorFuzzRegression : public ::testing::TestWithParam<fs::path> {};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(DescriptorFuzzRegression);

TEST_P(DescriptorFuzzRegression, ParsesToAConsistentResult)
{
    const auto bytes = readHexFile(GetParam());
    const auto descriptor = parse(bytes);

    EXPECT_EQ(testsupport::firstBrokenInvariant(descriptor), "");
    for (const auto& element : descriptor.elements)
        HIDReportDescriptor::extractValue(element, descriptor.reportsNumbered, bytes.data(), bytes.size());
}

INSTANTIATE_TEST_SUITE_P(Crashes, DescriptorFuzzRegression, ::testing::ValuesIn(hexFilesIn(descriptorFolder() / "fuzz-regressions")),
                         [](const auto& info) { return info.param.stem().string(); });

//==============================================================================
// Bad descriptors: never a crash, never an element outside its report, and the
// well-formed parts still read.
constexpr size_t noElement = SIZE_MAX;

TEST(HIDReportDescriptorMalformed, TruncatedItemKeepsWhatCameBefore)
{
    const auto descriptor = parse({ 0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x02,
                                    0x09, 0x02, 0x81, 0x02, 0x26, 0xFF });

    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::truncatedItem)) << "issues " << descriptor.issues;
    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::unclosedCollection)) << "issues " << descriptor.issues;
    EXPECT_EQ(descriptor.elements.size(), 3u);
    EXPECT_EQ(descriptor.maxInputReportSize, 2u);
}

TEST(HIDReportDescriptorMalformed, LongItemsAreSkippedAndTruncatedOnesStop)
{
    const auto skipped = parse({ 0xFE, 0x02, 0x10, 0x81, 0x02, 0x75, 0x08, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02 });
    EXPECT_EQ(skipped.issues, 0u);
    ASSERT_EQ(skipped.elements.size(), 1u) << "the long item's data bytes 81 02 must not read as an Input item";
    EXPECT_EQ(skipped.elements[0].usage, 1u);

    const auto truncated = parse({ 0xFE, 0x10, 0x00, 0x81, 0x02 });
    EXPECT_TRUE(truncated.has(HIDReportDescriptor::truncatedItem)) << "issues " << truncated.issues;
    EXPECT_TRUE(truncated.elements.empty());
}

TEST(HIDReportDescriptorMalformed, HugeReportCountIsCappedButSizedInFull)
{
    const auto descriptor = parse({ 0x05, 0x01, 0x09, 0x30, 0x75, 0x08, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02 });

    EXPECT_EQ(descriptor.elements.size(), HIDReportDescriptor::maxElementsPerMainItem);
    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::elementLimitReached)) << "issues " << descriptor.issues;
    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::reportTooLong)) << "issues " << descriptor.issues;
    EXPECT_EQ(descriptor.maxInputReportSize, 0x20000000u);
    EXPECT_EQ(testsupport::firstBrokenInvariant(descriptor), "");
}

TEST(HIDReportDescriptorMalformed, HugeReportSizeMakesNoElementBeyondTheLimit)
{
    const auto descriptor = parse({ 0x09, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x95, 0x03, 0x81, 0x02,
                                    0x75, 0x08, 0x95, 0x01, 0x81, 0x02 });

    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::reportTooLong)) << "issues " << descriptor.issues;
    EXPECT_EQ(descriptor.elements.size(), 1u);
    EXPECT_EQ(testsupport::firstBrokenInvariant(descriptor), "");
}

TEST(HIDReportDescriptorMalformed, ElementCountIsCappedAcrossItems)
{
    Bytes bytes { 0x05, 0x09, 0x09, 0x01, 0x75, 0x01, 0x96, 0x00, 0x10 };   // 4096 one-bit buttons per item
    for (size_t i = 0; i <= HIDReportDescriptor::maxElements / 4096; ++i)
        bytes.insert(bytes.end(), { 0x09, 0x01, 0x81, 0x02 });
    const auto descriptor = parse(bytes);

    EXPECT_EQ(descriptor.elements.size(), HIDReportDescriptor::maxElements);
    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::elementLimitReached)) << "issues " << descriptor.issues;
}

TEST(HIDReportDescriptorMalformed, HugeUsageRangeIsCapped)
{
    const auto descriptor = parse({ 0x05, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x15, 0x00, 0x26, 0xFF, 0xFF,
                                    0x75, 0x10, 0x95, 0x01, 0x81, 0x00 });

    EXPECT_EQ(descriptor.elements.size(), HIDReportDescriptor::maxElementsPerMainItem);
    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::usageLimitReached)) << "issues " << descriptor.issues;
}

TEST(HIDReportDescriptorMalformed, DeepPushIsBoundedAndPopWithoutPushIgnored)
{
    Bytes bytes { 0x75, 0x08, 0x95, 0x01 };
    bytes.insert(bytes.end(), 100, 0xA4);
    bytes.insert(bytes.end(), { 0xB4, 0x75, 0x04 });
    bytes.insert(bytes.end(), 100, 0xB4);
    bytes.insert(bytes.end(), { 0x09, 0x01, 0x81, 0x02 });
    const auto descriptor = parse(bytes);

    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::pushOverflow)) << "issues " << descriptor.issues;
    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::popWithoutPush)) << "issues " << descriptor.issues;
    ASSERT_EQ(descriptor.elements.size(), 1u);
    EXPECT_EQ(descriptor.elements[0].reportSize, 8u) << "the last pop must restore the first pushed state";
}

TEST(HIDReportDescriptorMalformed, UnbalancedCollectionsKeepATree)
{
    const auto descriptor = parse({ 0xC0, 0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0xA1, 0x00, 0xC0, 0xC0, 0xC0,
                                    0xA1, 0x02, 0x09, 0x30, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02 });

    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::endCollectionWithoutCollection)) << "issues " << descriptor.issues;
    EXPECT_TRUE(descriptor.has(HIDReportDescriptor::unclosedCollection)) << "issues " << descriptor.issues;
    ASSERT_EQ(descriptor.elements.size(), 4u);
    EXPECT_EQ(descriptor.elements[1].parentIndex.value_or(noElement), 0u);
    EXPECT_EQ(descriptor.elements[2].parentIndex.value_or(noElement), noElement);
    EXPECT_EQ(descriptor.elements[3].parentIndex.value_or(noElement), 2u);
    EXPECT_EQ(testsupport::firstBrokenInvariant(descriptor), "");
}

TEST(HIDReportDescriptorMalformed, NoBytesGiveAnEmptyDevice)
{
    const auto descriptor = HIDReportDescriptor::parse(nullptr, 16);

    EXPECT_TRUE(descriptor.elements.empty());
    EXPECT_EQ(descriptor.maxInputReportSize, 0u);
    EXPECT_EQ(descriptor.issues, 0u);
}

TEST(HIDReportDescriptorMalformed, ArbitraryBytesKeepTheInvariants)
{
    uint32_t state = 12345;
    for (int round = 0; round < 2000; ++round)
    {
        Bytes bytes(static_cast<size_t>(round % 97));
        for (auto& byte : bytes)
        {
            state = state * 1103515245 + 12345;
            byte = static_cast<uint8_t>(state >> 16);
        }
        const auto descriptor = parse(bytes);
        ASSERT_EQ(testsupport::firstBrokenInvariant(descriptor), "") << "round " << round;
    }
}

//==============================================================================
// Item meanings that are easy to get wrong.
HIDDescriptorElement onlyElementOf(const Bytes& bytes)
{
    const auto descriptor = parse(bytes);
    EXPECT_EQ(descriptor.elements.size(), 1u);
    return descriptor.elements.empty() ? HIDDescriptorElement() : descriptor.elements.front();
}

TEST(HIDReportDescriptorItems, LogicalMaximumIsUnsignedUnlessTheMinimumIsNegative)
{
    const Bytes field { 0x09, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02 };
    const auto withExtremes = [&](Bytes extremes) {
        extremes.insert(extremes.end(), field.begin(), field.end());
        const auto element = onlyElementOf(extremes);
        return std::make_pair(element.logicalMin, element.logicalMax);
    };

    EXPECT_EQ(withExtremes({ 0x15, 0x00, 0x25, 0xFF }), std::make_pair(int64_t { 0 }, int64_t { 255 }));
    EXPECT_EQ(withExtremes({ 0x15, 0x00, 0x27, 0xFF, 0xFF, 0xFF, 0xFF }), std::make_pair(int64_t { 0 }, int64_t { 4294967295 }));
    EXPECT_EQ(withExtremes({ 0x15, 0x80, 0x25, 0x7F }), std::make_pair(int64_t { -128 }, int64_t { 127 }));
    EXPECT_EQ(withExtremes({ 0x16, 0x00, 0x80, 0x25, 0xFF }), std::make_pair(int64_t { -32768 }, int64_t { -1 }));
}

TEST(HIDReportDescriptorItems, PhysicalExtremesDefaultToLogicalOnlyWhenBothAreZero)
{
    const auto defaulted = onlyElementOf({ 0x15, 0x81, 0x25, 0x7F, 0x09, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02 });
    EXPECT_EQ(defaulted.physicalMin, -127);
    EXPECT_EQ(defaulted.physicalMax, 127);

    const auto given = onlyElementOf({ 0x15, 0x81, 0x25, 0x7F, 0x35, 0x00, 0x46, 0xE8, 0x03,
                                       0x09, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02 });
    EXPECT_EQ(given.physicalMin, 0);
    EXPECT_EQ(given.physicalMax, 1000);
}

TEST(HIDReportDescriptorItems, UnitExponentIsASignedNibble)
{
    const auto exponentOf = [](uint8_t value) {
        return onlyElementOf({ 0x55, value, 0x09, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02 }).unitExponent;
    };

    EXPECT_EQ(exponentOf(0x07), 7);
    EXPECT_EQ(exponentOf(0x08), -8);
    EXPECT_EQ(exponentOf(0x0E), -2);
    EXPECT_EQ(exponentOf(0xFE), -2) << "a whole signed byte is taken as it stands";
}

TEST(HIDReportDescriptorItems, UsagePagesApplyAsDevicesMeanThem)
{
    const auto usagesOf = [](const Bytes& bytes) {
        std::vector<std::pair<uint32_t, uint32_t>> usages;
        for (const auto& element : parse(bytes).elements)
            usages.emplace_back(element.usagePage, element.usage);
        return usages;
    };
    using Usages = std::vector<std::pair<uint32_t, uint32_t>>;

    EXPECT_EQ(usagesOf({ 0x09, 0x30, 0x09, 0x31, 0x05, 0x01, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02 }),
              (Usages { { 1, 0x30 }, { 1, 0x31 } })) << "a page named after its usages";
    EXPECT_EQ(usagesOf({ 0x05, 0x01, 0x09, 0x30, 0x05, 0x09, 0x09, 0x01, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02 }),
              (Usages { { 1, 0x30 }, { 9, 1 } })) << "pages changing between usages";
    EXPECT_EQ(usagesOf({ 0x05, 0x09, 0x0B, 0x30, 0x00, 0x01, 0x00, 0x09, 0x01, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02 }),
              (Usages { { 1, 0x30 }, { 9, 1 } })) << "an extended usage keeps its page";
    EXPECT_EQ(usagesOf({ 0x05, 0x01, 0xA9, 0x01, 0x09, 0x30, 0x09, 0x31, 0xA9, 0x00, 0x09, 0x32,
                         0x75, 0x08, 0x95, 0x02, 0x81, 0x02 }),
              (Usages { { 1, 0x30 }, { 1, 0x32 } })) << "alternatives of a delimited set";
}

TEST(HIDReportDescriptorItems, EachReportIDAndKindCountsItsOwnBits)
{
    const auto descriptor = parse({ 0x85, 0x01, 0x75, 0x08, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02,
                                    0xB1, 0x02, 0x09, 0x03, 0x81, 0x02, 0x85, 0x02, 0x09, 0x04, 0x81, 0x02 });

    ASSERT_EQ(descriptor.elements.size(), 4u);
    EXPECT_EQ(descriptor.elements[1].bitOffset, 0u) << "the feature report starts afresh";
    EXPECT_EQ(descriptor.elements[2].bitOffset, 8u);
    EXPECT_EQ(descriptor.elements[3].bitOffset, 0u) << "report 2 starts afresh";
    EXPECT_EQ(descriptor.elements[3].reportID, 2u);
    EXPECT_EQ(descriptor.maxInputReportSize, 3u);
    EXPECT_EQ(descriptor.maxFeatureReportSize, 2u);
}

TEST(HIDReportDescriptorItems, ElementTypesFollowTheFieldsShape)
{
    const auto descriptor = parse({ 0x05, 0x0C, 0x09, 0xE2, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02,   // 1-bit Mute
                                    0x09, 0xE0, 0x75, 0x07, 0x81, 0x02,                           // 7-bit Volume
                                    0x05, 0x01, 0x19, 0x81, 0x29, 0x83, 0x15, 0x01, 0x25, 0x03,
                                    0x75, 0x08, 0x81, 0x00,                                       // System Control array
                                    0x05, 0x07, 0x09, 0x04, 0x81, 0x02 });                        // 8-bit key code

    using Type = HIDElementType;
    std::vector<Type> types;
    for (const auto& element : descriptor.elements)
        types.push_back(element.type);
    EXPECT_EQ(types, (std::vector<Type> { Type::inputButton, Type::inputMisc, Type::inputButton, Type::inputButton,
                                          Type::inputButton, Type::inputScanCodes }));
}

TEST(HIDReportDescriptorItems, OnlyTopLevelApplicationCollectionsAreUsagePairs)
{
    const auto descriptor = parse({ 0x05, 0x01, 0x09, 0x02, 0xA1, 0x02, 0xC0,               // logical
                                    0x09, 0x06, 0xA1, 0x01, 0x09, 0x02, 0xA1, 0x01, 0xC0, 0xC0, // nested application
                                    0x09, 0x06, 0xA1, 0x01, 0xC0,                            // the same pair again
                                    0x09, 0x05, 0xA1, 0x01, 0xC0 });

    EXPECT_EQ(descriptor.primaryUsage, (HIDUsagePair { 1, 6 }));
    EXPECT_EQ(descriptor.deviceUsagePairs, (std::vector<HIDUsagePair> { { 1, 6 }, { 1, 5 } }));
    EXPECT_EQ(descriptor.elements.size(), 5u);
}

//==============================================================================
// Reading a field's value out of a report as hidraw delivers it.
class HIDDescriptorElementValue : public ::testing::Test
{
protected:
    // Three padding bits, a signed 12-bit X, an unsigned 17-bit Y: both cross bytes.
    const HIDReportDescriptor unnumbered = parse({ 0x05, 0x01, 0x75, 0x03, 0x95, 0x01, 0x81, 0x01,
                                                   0x09, 0x30, 0x16, 0x00, 0xF8, 0x26, 0xFF, 0x07, 0x75, 0x0C, 0x81, 0x02,
                                                   0x09, 0x31, 0x15, 0x00, 0x27, 0xFF, 0xFF, 0x01, 0x00, 0x75, 0x11, 0x81, 0x02 });
    // Report 2: a consumer array of two slots selecting 1 Volume+, 2 Volume-, 3 Mute.
    const HIDReportDescriptor numbered = parse({ 0x05, 0x0C, 0x85, 0x02, 0x15, 0x01, 0x25, 0x03, 0x09, 0xE9, 0x09, 0xEA,
                                                 0x09, 0xE2, 0x75, 0x08, 0x95, 0x02, 0x81, 0x00 });

    std::optional<int64_t> valueOf(const HIDReportDescriptor& descriptor, size_t index, const Bytes& report) const
    {
        return HIDReportDescriptor::extractValue(descriptor.elements.at(index), descriptor.reportsNumbered,
                                                 report.data(), report.size());
    }
};

TEST_F(HIDDescriptorElementValue, FieldsCrossingBytesReadWithTheirSign)
{
    EXPECT_EQ(valueOf(unnumbered, 0, { 0xC0, 0xE0, 0xE6, 0xD5 }), -1000);
    EXPECT_EQ(valueOf(unnumbered, 1, { 0xC0, 0xE0, 0xE6, 0xD5 }), 0x1ABCD);
    EXPECT_EQ(valueOf(unnumbered, 0, { 0x40, 0x9F, 0x00, 0x00 }), 1000);
    EXPECT_EQ(valueOf(unnumbered, 1, { 0x40, 0x9F, 0x00, 0x00 }), 1);
}

TEST_F(HIDDescriptorElementValue, FullWidthFieldsKeepTheirRange)
{
    const auto wide = parse({ 0x09, 0x01, 0x15, 0x00, 0x27, 0xFF, 0xFF, 0xFF, 0xFF, 0x75, 0x20, 0x95, 0x01, 0x81, 0x02,
                              0x09, 0x02, 0x17, 0x00, 0x00, 0x00, 0x80, 0x27, 0xFF, 0xFF, 0xFF, 0x7F, 0x81, 0x02 });
    const Bytes report { 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80 };

    EXPECT_EQ(valueOf(wide, 0, report), int64_t { 4294967295 });
    EXPECT_EQ(valueOf(wide, 1, report), int64_t { -2147483648 });
}

TEST_F(HIDDescriptorElementValue, ReportsTooShortOrOfAnotherIDHoldNoValue)
{
    EXPECT_EQ(valueOf(unnumbered, 1, { 0xC0, 0xE0, 0xE6 }), std::nullopt);
    EXPECT_EQ(valueOf(unnumbered, 0, {}), std::nullopt);
    EXPECT_EQ(valueOf(numbered, 0, { 0x01, 0x01, 0x00 }), std::nullopt);
    EXPECT_EQ(valueOf(numbered, 0, { 0x02, 0x01 }), std::nullopt) << "the array's second slot is missing";
    EXPECT_EQ(HIDReportDescriptor::extractValue(unnumbered.elements[0], false, nullptr, 4), std::nullopt);
}

TEST_F(HIDDescriptorElementValue, ArrayElementsTellWhetherASlotSelectsThem)
{
    const Bytes muteHeld { 0x02, 0x00, 0x03 };

    EXPECT_EQ(valueOf(numbered, 0, muteHeld), 0);
    EXPECT_EQ(valueOf(numbered, 1, muteHeld), 0);
    EXPECT_EQ(valueOf(numbered, 2, muteHeld), 1);
    EXPECT_EQ(valueOf(numbered, 0, { 0x02, 0x01, 0x02 }), 1);
}

} // namespace
} // namespace platform
