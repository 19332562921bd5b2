// Arbitrary bytes as a HID report descriptor: the parse result must be
// consistent, and every element must read back from reports made of the same
// bytes and from an all-zero report of the largest size.
#include "IOKit/HIDReportDescriptor.h"
#include "HIDReportDescriptorInvariants.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{

using platform::HIDDescriptorElement;
using platform::HIDElementType;
using platform::HIDReportDescriptor;

// Bigger largest reports are legal but too slow to fill on every run.
constexpr uint32_t largestReportTried = 1 << 16;

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "broken: %s\n", what.c_str());
    std::abort();
}

bool hasIntegerValue(const HIDDescriptorElement& element)
{
    return element.type != HIDElementType::collection && element.reportSize <= 32 && element.reportID <= 0xFF;
}

bool valueFitsField(const HIDDescriptorElement& element, int64_t value)
{
    if (element.isArray)
        return value == 0 || value == 1;
    const int64_t span = int64_t { 1 } << element.reportSize;
    if (element.logicalMin < 0)
        return value >= -span / 2 && value < span / 2;
    return value >= 0 && value < span;
}

// zeroReport holds zeros after its first byte; reports longer than it are not tried.
void checkReportOfLargestSize(const HIDReportDescriptor& descriptor, const HIDDescriptorElement& element,
                              std::vector<uint8_t>& zeroReport)
{
    const uint32_t size = platform::testsupport::maxReportSizeOf(descriptor, element.type);
    if (size > zeroReport.size())
        return;
    if (descriptor.reportsNumbered)
        zeroReport[0] = static_cast<uint8_t>(element.reportID);

    const auto value = HIDReportDescriptor::extractValue(element, descriptor.reportsNumbered, zeroReport.data(), size);
    const int64_t expected = element.isArray ? (element.arraySlotValue == 0 ? 1 : 0) : 0;
    if (value != expected)
        fail("element " + std::to_string(element.cookie) + " misread in a zero report of " + std::to_string(size) + " bytes");
}

std::vector<uint8_t> zeroReportFor(const HIDReportDescriptor& descriptor)
{
    const uint32_t largest = std::max({ descriptor.maxInputReportSize, descriptor.maxOutputReportSize,
                                        descriptor.maxFeatureReportSize });
    return std::vector<uint8_t>(std::min(largest, largestReportTried), 0);
}

void checkValuesFromBytes(const HIDReportDescriptor& descriptor, const HIDDescriptorElement& element,
                          const uint8_t* data, size_t size)
{
    const auto value = HIDReportDescriptor::extractValue(element, descriptor.reportsNumbered, data, size);
    if (value && !valueFitsField(element, *value))
        fail("element " + std::to_string(element.cookie) + " read " + std::to_string(*value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto descriptor = HIDReportDescriptor::parse(data, size);
    const auto broken = platform::testsupport::firstBrokenInvariant(descriptor);
    if (!broken.empty())
        fail(broken);

    auto zeroReport = zeroReportFor(descriptor);
    for (const auto& element : descriptor.elements)
    {
        if (!hasIntegerValue(element))
            continue;
        checkReportOfLargestSize(descriptor, element, zeroReport);
        checkValuesFromBytes(descriptor, element, data, size);
    }
    return 0;
}
