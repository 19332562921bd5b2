// A HID report descriptor turned into what a HID manager shows of a device:
// device-level properties and the device's elements, in descriptor order.
//
// Both device sources hand their raw descriptor to HIDReportDescriptor::parse.
// The parser accepts any bytes: a malformed descriptor yields the elements that
// could be read before or around the fault, and the fault is recorded in
// `issues`. It never reads outside the given bytes, and what it expands is
// bounded (see the limits below), so a hostile descriptor costs little memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform
{

// The numeric values are the HID manager's element type constants.
enum class HIDElementType : uint32_t
{
    inputMisc = 1,
    inputButton = 2,
    inputAxis = 3,
    inputScanCodes = 4,
    output = 129,
    feature = 257,
    collection = 513
};

inline bool isInput(HIDElementType type)
{
    return type == HIDElementType::inputMisc || type == HIDElementType::inputButton || type == HIDElementType::inputAxis
           || type == HIDElementType::inputScanCodes;
}

struct HIDUsagePair
{
    uint32_t usagePage = 0;
    uint32_t usage = 0;

    bool operator==(const HIDUsagePair& other) const
    {
        return usagePage == other.usagePage && usage == other.usage;
    }
};

struct HIDDescriptorElement
{
    HIDElementType type = HIDElementType::inputMisc;
    uint32_t usagePage = 0;
    uint32_t usage = 0;
    uint32_t cookie = 0;                 // index in the element list + 1
    std::optional<size_t> parentIndex;   // the enclosing collection element
    uint32_t collectionType = 0;         // collections only: 0 physical, 1 application, ...

    uint32_t reportID = 0;               // 0 when the device does not number its reports
    uint32_t reportSize = 0;             // bits of one field
    uint32_t reportCount = 0;            // 1, or the number of slots of an array
    uint32_t bitOffset = 0;              // of the field in its report, after the ID byte

    int64_t logicalMin = 0;
    int64_t logicalMax = 0;
    int64_t physicalMin = 0;
    int64_t physicalMax = 0;
    uint32_t unit = 0;
    int32_t unitExponent = 0;

    bool isConstant = false;
    bool isRelative = false;
    bool isWrapping = false;
    bool isArray = false;
    bool isNonLinear = false;
    bool hasPreferredState = true;
    bool hasNullState = false;

    // Array elements: the slot value that selects this element's usage.
    int64_t arraySlotValue = 0;

    // Descriptors name elements only through string indices, which are not resolved.
    std::string name;
};

struct HIDReportDescriptor
{
    // Expansion limits. A usage range or report count beyond them is cut short
    // (and the cut noted in `issues`); report sizes are still counted in full.
    static constexpr size_t maxElements = 16384;
    static constexpr size_t maxElementsPerMainItem = 4096;
    static constexpr size_t maxUsageItemsPerMainItem = 4096;
    static constexpr size_t maxPushDepth = 16;
    // A report longer than this many bits keeps this length; no element lies beyond it.
    static constexpr uint64_t maxReportBits = 0xFFFFFFFF;

    enum Issue : uint32_t
    {
        truncatedItem = 1 << 0,
        unknownItem = 1 << 1,
        pushOverflow = 1 << 2,
        popWithoutPush = 1 << 3,
        endCollectionWithoutCollection = 1 << 4,
        unclosedCollection = 1 << 5,
        elementLimitReached = 1 << 6,
        usageLimitReached = 1 << 7,
        reportTooLong = 1 << 8
    };

    HIDUsagePair primaryUsage;                 // of the first top-level application collection
    std::vector<HIDUsagePair> deviceUsagePairs; // each top-level application collection's, once
    bool reportsNumbered = false;              // any Report ID item
    uint32_t maxInputReportSize = 0;           // bytes, with the ID byte when numbered; 0: none
    uint32_t maxOutputReportSize = 0;
    uint32_t maxFeatureReportSize = 0;
    std::vector<HIDDescriptorElement> elements;
    uint32_t issues = 0;                       // Issue bits

    bool has(Issue issue) const { return (issues & issue) != 0; }

    static HIDReportDescriptor parse(const uint8_t* bytes, size_t length);

    // The element's value in one report as hidraw delivers it (led by the ID byte
    // when the device numbers its reports). Sign-extended when the logical minimum
    // is negative; an array element reads 1 when one of the array's slots selects
    // its usage, else 0. Empty when the report is another report, too short to
    // hold the field, or the element has no integer value (a collection, or a
    // field wider than 32 bits).
    static std::optional<int64_t> extractValue(const HIDDescriptorElement& element,
                                               bool reportsNumbered,
                                               const uint8_t* report,
                                               size_t length);
};

} // namespace platform
