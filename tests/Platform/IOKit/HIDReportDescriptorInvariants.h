// What a parsed descriptor must satisfy whatever bytes it came from. The
// descriptor tests and the fuzz target both check it.
#pragma once

#include "IOKit/HIDReportDescriptor.h"

#include <string>

namespace platform::testsupport
{

inline uint32_t maxReportSizeOf(const HIDReportDescriptor& descriptor, HIDElementType type)
{
    switch (type)
    {
        case HIDElementType::output:  return descriptor.maxOutputReportSize;
        case HIDElementType::feature: return descriptor.maxFeatureReportSize;
        default:                      return descriptor.maxInputReportSize;
    }
}

inline bool isKnownElementType(HIDElementType type)
{
    switch (type)
    {
        case HIDElementType::inputMisc: case HIDElementType::inputButton: case HIDElementType::inputAxis:
        case HIDElementType::inputScanCodes: case HIDElementType::output: case HIDElementType::feature:
        case HIDElementType::collection:
            return true;
    }
    return false;
}

// Empty when the field lies inside the largest report of its kind.
inline std::string fieldOutsideReport(const HIDReportDescriptor& descriptor, const HIDDescriptorElement& element)
{
    const uint64_t fieldBits = uint64_t { element.reportSize } * (element.isArray ? element.reportCount : 1);
    const uint64_t idBits = descriptor.reportsNumbered ? 8 : 0;
    const uint64_t reportBits = uint64_t { maxReportSizeOf(descriptor, element.type) } * 8;
    if (element.reportSize == 0 || element.reportCount == 0 || element.bitOffset + fieldBits + idBits > reportBits)
        return "field of " + std::to_string(fieldBits) + " bits at bit " + std::to_string(element.bitOffset)
             + " outside a largest report of " + std::to_string(reportBits) + " bits";
    if (!descriptor.reportsNumbered && element.reportID != 0)
        return "report ID " + std::to_string(element.reportID) + " on a device without numbered reports";
    return {};
}

inline std::string brokenElementInvariant(const HIDReportDescriptor& descriptor, size_t index)
{
    const auto& element = descriptor.elements[index];
    if (element.cookie != index + 1)
        return "cookie " + std::to_string(element.cookie);
    if (!isKnownElementType(element.type))
        return "type " + std::to_string(static_cast<uint32_t>(element.type));
    if (element.parentIndex && (*element.parentIndex >= index
                                || descriptor.elements[*element.parentIndex].type != HIDElementType::collection))
        return "parent " + std::to_string(*element.parentIndex);
    if (element.type == HIDElementType::collection)
        return {};
    return fieldOutsideReport(descriptor, element);
}

// Empty when every invariant holds, else the first one broken.
inline std::string firstBrokenInvariant(const HIDReportDescriptor& descriptor)
{
    if (descriptor.elements.size() > HIDReportDescriptor::maxElements)
        return std::to_string(descriptor.elements.size()) + " elements";
    if (descriptor.deviceUsagePairs.empty() ? !(descriptor.primaryUsage == HIDUsagePair())
                                            : !(descriptor.primaryUsage == descriptor.deviceUsagePairs.front()))
        return "primary usage is not the first usage pair";

    for (size_t i = 0; i < descriptor.elements.size(); ++i)
    {
        const auto broken = brokenElementInvariant(descriptor, i);
        if (!broken.empty())
            return "element " + std::to_string(i) + ": " + broken;
    }
    return {};
}

} // namespace platform::testsupport
