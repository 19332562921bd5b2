#include "HIDReportDescriptor.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <utility>

// Item layout and semantics follow the Device Class Definition for HID 1.11,
// section 6.2.2; usage pages are those of the HID Usage Tables.

namespace platform
{
namespace
{

//==============================================================================
constexpr uint8_t longItemPrefix = 0xFE;

enum class ItemType : uint8_t { main = 0, global = 1, local = 2, reserved = 3 };

namespace MainTag
{
    constexpr uint8_t input = 0x8, output = 0x9, collection = 0xA, feature = 0xB, endCollection = 0xC;
}

namespace GlobalTag
{
    constexpr uint8_t usagePage = 0, logicalMinimum = 1, logicalMaximum = 2, physicalMinimum = 3,
                      physicalMaximum = 4, unitExponent = 5, unit = 6, reportSize = 7, reportID = 8,
                      reportCount = 9, push = 10, pop = 11;
}

namespace LocalTag
{
    constexpr uint8_t usage = 0, usageMinimum = 1, usageMaximum = 2, designatorIndex = 3,
                      designatorMinimum = 4, designatorMaximum = 5, stringIndex = 7, stringMinimum = 8,
                      stringMaximum = 9, delimiter = 10;
}

namespace MainFlag
{
    constexpr uint32_t constant = 1 << 0, variable = 1 << 1, relative = 1 << 2, wrap = 1 << 3,
                       nonLinear = 1 << 4, noPreferredState = 1 << 5, nullState = 1 << 6;
}

constexpr uint32_t genericDesktopPage = 0x01;
constexpr uint32_t keyboardPage = 0x07;
constexpr uint32_t buttonPage = 0x09;
constexpr uint32_t firstAxisUsage = 0x30;  // X
constexpr uint32_t lastAxisUsage = 0x38;   // Wheel
constexpr uint32_t applicationCollection = 1;

//==============================================================================
struct ItemData
{
    uint32_t raw = 0;
    uint8_t size = 0;   // bytes: 0, 1, 2 or 4

    int64_t asSigned() const
    {
        switch (size)
        {
            case 1:  return static_cast<int8_t>(raw);
            case 2:  return static_cast<int16_t>(raw);
            case 4:  return static_cast<int32_t>(raw);
            default: return 0;
        }
    }
};

struct ShortItem
{
    ItemType type;
    uint8_t tag;
    ItemData data;
};

struct GlobalState
{
    uint32_t usagePage = 0;
    ItemData logicalMinimum, logicalMaximum, physicalMinimum, physicalMaximum;
    int32_t unitExponent = 0;
    uint32_t unit = 0;
    uint32_t reportSize = 0;
    uint32_t reportID = 0;
    uint32_t reportCount = 0;
};

struct DeclaredUsage
{
    uint32_t page = 0;
    uint32_t usage = 0;
    bool pageGiven = false;   // an extended(4-byte) usage carries its own page
};

struct UsageRange
{
    DeclaredUsage first;
    uint32_t last = 0;
};

struct LocalState
{
    std::vector<UsageRange> usages;
    std::optional<DeclaredUsage> pendingMinimum, pendingMaximum;
    bool inDelimiterSet = false;
    size_t usagesInDelimiterSet = 0;
};

enum class ReportKind { input, output, feature };

//==============================================================================
// A Unit Exponent is a 4-bit two's complement nibble; some devices write the
// exponent as a whole signed byte instead, which is taken as it stands.
int32_t decodeUnitExponent(const ItemData& data)
{
    if (data.raw <= 0xF)
        return data.raw >= 8 ? static_cast<int32_t>(data.raw) - 16 : static_cast<int32_t>(data.raw);
    return static_cast<int32_t>(data.asSigned());
}

// A non-negative minimum makes the maximum unsigned, so that 0..255 written in
// one byte each does not read as 0..-1.
std::pair<int64_t, int64_t> decodeExtremes(const ItemData& minimum, const ItemData& maximum)
{
    const int64_t low = minimum.asSigned();
    return { low, low >= 0 ? static_cast<int64_t>(maximum.raw) : maximum.asSigned() };
}

HIDElementType inputElementType(const HIDUsagePair& usage, uint32_t reportSize, bool isArray)
{
    if (usage.usagePage == keyboardPage)
        return HIDElementType::inputScanCodes;
    if (usage.usagePage == buttonPage || isArray || reportSize == 1)
        return HIDElementType::inputButton;
    if (usage.usagePage == genericDesktopPage && usage.usage >= firstAxisUsage && usage.usage <= lastAxisUsage)
        return HIDElementType::inputAxis;
    return HIDElementType::inputMisc;
}

HIDElementType elementType(ReportKind kind, const HIDUsagePair& usage, uint32_t reportSize, bool isArray)
{
    switch (kind)
    {
        case ReportKind::output:  return HIDElementType::output;
        case ReportKind::feature: return HIDElementType::feature;
        case ReportKind::input:   break;
    }
    return inputElementType(usage, reportSize, isArray);
}

// The last Usage Page applies to the usages declared before it without a page
// of their own, back to the first one that already carries that page; so a
// descriptor that names the page after its usages still means that page.
void applyLastUsagePage(std::vector<UsageRange>& usages, uint32_t usagePage)
{
    for (auto range = usages.rbegin(); range != usages.rend(); ++range)
    {
        if (range->first.pageGiven)
            continue;
        if (range->first.page == usagePage)
            break;
        range->first.page = usagePage;
    }
}

//==============================================================================
class DescriptorParser
{
public:
    DescriptorParser(const uint8_t* bytes, size_t length) : cursor(bytes), end(bytes + length) {}

    HIDReportDescriptor run()
    {
        while (cursor != end)
        {
            const bool more = (*cursor == longItemPrefix) ? skipLongItem() : readAndHandleShortItem();
            if (!more)
                break;
        }
        finish();
        return std::move(result);
    }

private:
    //==============================================================================
    // Long items are reserved for future use: none is defined, so all are skipped.
    bool skipLongItem()
    {
        const auto available = static_cast<size_t>(end - cursor);
        if (available < 3 || available - 3 < cursor[1])
            return stopAtTruncatedItem();
        cursor += 3 + cursor[1];
        return true;
    }

    bool readAndHandleShortItem()
    {
        const uint8_t prefix = *cursor++;
        const uint8_t sizeCode = prefix & 0x3;
        const uint8_t size = sizeCode == 3 ? 4 : sizeCode;
        if (static_cast<size_t>(end - cursor) < size)
            return stopAtTruncatedItem();

        ShortItem item { static_cast<ItemType>((prefix >> 2) & 0x3), static_cast<uint8_t>(prefix >> 4), { 0, size } };
        for (uint8_t i = 0; i < size; ++i)
            item.data.raw |= static_cast<uint32_t>(cursor[i]) << (8 * i);
        cursor += size;

        handle(item);
        return true;
    }

    bool stopAtTruncatedItem()
    {
        noteIssue(HIDReportDescriptor::truncatedItem);
        cursor = end;
        return false;
    }

    void handle(const ShortItem& item)
    {
        switch (item.type)
        {
            case ItemType::main:     handleMainItem(item); break;
            case ItemType::global:   handleGlobalItem(item); break;
            case ItemType::local:    handleLocalItem(item); break;
            case ItemType::reserved: noteIssue(HIDReportDescriptor::unknownItem); break;
        }
    }

    //==============================================================================
    void handleMainItem(const ShortItem& item)
    {
        switch (item.tag)
        {
            case MainTag::input:         addField(ReportKind::input, item.data.raw); break;
            case MainTag::output:        addField(ReportKind::output, item.data.raw); break;
            case MainTag::feature:       addField(ReportKind::feature, item.data.raw); break;
            case MainTag::collection:    openCollection(item.data.raw); break;
            case MainTag::endCollection: closeCollection(); break;
            default:                     noteIssue(HIDReportDescriptor::unknownItem); break;
        }
        locals = LocalState();
    }

    void handleGlobalItem(const ShortItem& item)
    {
        switch (item.tag)
        {
            case GlobalTag::usagePage:       globals.usagePage = item.data.raw; break;
            case GlobalTag::logicalMinimum:  globals.logicalMinimum = item.data; break;
            case GlobalTag::logicalMaximum:  globals.logicalMaximum = item.data; break;
            case GlobalTag::physicalMinimum: globals.physicalMinimum = item.data; break;
            case GlobalTag::physicalMaximum: globals.physicalMaximum = item.data; break;
            case GlobalTag::unitExponent:    globals.unitExponent = decodeUnitExponent(item.data); break;
            case GlobalTag::unit:            globals.unit = item.data.raw; break;
            case GlobalTag::reportSize:      globals.reportSize = item.data.raw; break;
            case GlobalTag::reportID:        globals.reportID = item.data.raw; result.reportsNumbered = true; break;
            case GlobalTag::reportCount:     globals.reportCount = item.data.raw; break;
            case GlobalTag::push:            pushGlobals(); break;
            case GlobalTag::pop:             popGlobals(); break;
            default:                         noteIssue(HIDReportDescriptor::unknownItem); break;
        }
    }

    void pushGlobals()
    {
        if (pushedGlobals.size() >= HIDReportDescriptor::maxPushDepth)
            return noteIssue(HIDReportDescriptor::pushOverflow);
        pushedGlobals.push_back(globals);
    }

    void popGlobals()
    {
        if (pushedGlobals.empty())
            return noteIssue(HIDReportDescriptor::popWithoutPush);
        globals = pushedGlobals.back();
        pushedGlobals.pop_back();
    }

    void handleLocalItem(const ShortItem& item)
    {
        switch (item.tag)
        {
            case LocalTag::usage:
            {
                const auto usage = declaredUsage(item.data);
                addUsageRange(usage, usage.usage);
                break;
            }
            case LocalTag::usageMinimum:
                locals.pendingMinimum = declaredUsage(item.data);
                completeUsageRange();
                break;
            case LocalTag::usageMaximum:
                locals.pendingMaximum = declaredUsage(item.data);
                completeUsageRange();
                break;
            case LocalTag::delimiter:
                locals.inDelimiterSet = item.data.raw == 1;
                locals.usagesInDelimiterSet = 0;
                break;
            case LocalTag::designatorIndex: case LocalTag::designatorMinimum: case LocalTag::designatorMaximum:
            case LocalTag::stringIndex: case LocalTag::stringMinimum: case LocalTag::stringMaximum:
                break;
            default:
                noteIssue(HIDReportDescriptor::unknownItem);
                break;
        }
    }

    //==============================================================================
    DeclaredUsage declaredUsage(const ItemData& data) const
    {
        if (data.size == 4)
            return { data.raw >> 16, data.raw & 0xFFFF, true };
        return { globals.usagePage, data.raw, false };
    }

    void completeUsageRange()
    {
        if (!locals.pendingMinimum || !locals.pendingMaximum)
            return;
        addUsageRange(*locals.pendingMinimum, locals.pendingMaximum->usage);
        locals.pendingMinimum.reset();
        locals.pendingMaximum.reset();
    }

    void addUsageRange(const DeclaredUsage& first, uint32_t last)
    {
        // Within a delimited set the usages are alternatives for one control: the first one names it.
        if (locals.inDelimiterSet && locals.usagesInDelimiterSet++ > 0)
            return;
        if (first.usage > last)
            return;
        if (locals.usages.size() >= HIDReportDescriptor::maxUsageItemsPerMainItem)
            return noteIssue(HIDReportDescriptor::usageLimitReached);
        locals.usages.push_back({ first, last });
    }

    std::vector<HIDUsagePair> takeUsages()
    {
        applyLastUsagePage(locals.usages, globals.usagePage);

        std::vector<HIDUsagePair> expanded;
        for (const auto& range : locals.usages)
        {
            for (uint64_t usage = range.first.usage; usage <= range.last; ++usage)
            {
                if (expanded.size() >= HIDReportDescriptor::maxElementsPerMainItem)
                {
                    noteIssue(HIDReportDescriptor::usageLimitReached);
                    return expanded;
                }
                expanded.push_back({ range.first.page, static_cast<uint32_t>(usage) });
            }
        }
        return expanded;
    }

    //==============================================================================
    void addField(ReportKind kind, uint32_t flags)
    {
        const uint64_t fieldBits = static_cast<uint64_t>(globals.reportSize) * globals.reportCount;
        if (fieldBits == 0)
            return;

        const uint64_t start = reserveBits(kind, fieldBits);
        const auto usages = takeUsages();
        const bool isPadding = (flags & MainFlag::constant) != 0 && usages.empty();
        if (isPadding)
            return;

        const auto pattern = fieldElementPattern(flags);
        if ((flags & MainFlag::variable) != 0)
            addVariableElements(kind, pattern, usages, start);
        else
            addArrayElements(kind, pattern, usages, start);
    }

    // Fields of one report lie one after the other in descriptor order; each report
    // ID of each kind is a report of its own.
    uint64_t reserveBits(ReportKind kind, uint64_t bits)
    {
        auto& used = reportBits[{ kind, globals.reportID }];
        const uint64_t start = used;
        if (bits > HIDReportDescriptor::maxReportBits - start)
            noteIssue(HIDReportDescriptor::reportTooLong);
        used = std::min(HIDReportDescriptor::maxReportBits, start + bits);
        return start;
    }

    HIDDescriptorElement fieldElementPattern(uint32_t flags) const
    {
        HIDDescriptorElement element;
        element.reportID = globals.reportID;
        element.reportSize = globals.reportSize;
        element.reportCount = 1;
        setExtremes(element);
        element.unit = globals.unit;
        element.unitExponent = globals.unitExponent;
        element.isConstant = (flags & MainFlag::constant) != 0;
        element.isRelative = (flags & MainFlag::relative) != 0;
        element.isWrapping = (flags & MainFlag::wrap) != 0;
        element.isNonLinear = (flags & MainFlag::nonLinear) != 0;
        element.hasPreferredState = (flags & MainFlag::noPreferredState) == 0;
        element.hasNullState = (flags & MainFlag::nullState) != 0;
        return element;
    }

    void setExtremes(HIDDescriptorElement& element) const
    {
        std::tie(element.logicalMin, element.logicalMax) = decodeExtremes(globals.logicalMinimum, globals.logicalMaximum);
        // Physical extremes both left at 0 mean the logical ones.
        const bool physicalGiven = globals.physicalMinimum.raw != 0 || globals.physicalMaximum.raw != 0;
        std::tie(element.physicalMin, element.physicalMax) =
            physicalGiven ? decodeExtremes(globals.physicalMinimum, globals.physicalMaximum)
                          : std::make_pair(element.logicalMin, element.logicalMax);
    }

    // One element per field; a usage list shorter than the report count repeats
    // its last usage, and a field without any usage gets usage 0 of the page.
    void addVariableElements(ReportKind kind, const HIDDescriptorElement& pattern,
                             const std::vector<HIDUsagePair>& usages, uint64_t start)
    {
        const uint32_t count = globals.reportCount;
        if (count > HIDReportDescriptor::maxElementsPerMainItem)
            noteIssue(HIDReportDescriptor::elementLimitReached);
        const size_t elementCount = std::min<size_t>(count, HIDReportDescriptor::maxElementsPerMainItem);

        for (size_t i = 0; i < elementCount; ++i)
        {
            const uint64_t offset = start + i * pattern.reportSize;
            if (offset + pattern.reportSize > HIDReportDescriptor::maxReportBits)
                return;
            const auto usage = usages.empty() ? HIDUsagePair { globals.usagePage, 0 }
                                              : usages[std::min(i, usages.size() - 1)];
            auto element = pattern;
            element.bitOffset = static_cast<uint32_t>(offset);
            if (!appendFieldElement(kind, std::move(element), usage))
                return;
        }
    }

    // One element per usage of the list, each covering the whole array; slot
    // value logical minimum + n selects the n-th usage.
    void addArrayElements(ReportKind kind, const HIDDescriptorElement& pattern,
                          const std::vector<HIDUsagePair>& usages, uint64_t start)
    {
        const uint64_t arrayBits = static_cast<uint64_t>(pattern.reportSize) * globals.reportCount;
        if (start + arrayBits > HIDReportDescriptor::maxReportBits)
            return;

        for (size_t i = 0; i < usages.size(); ++i)
        {
            auto element = pattern;
            element.isArray = true;
            element.reportCount = globals.reportCount;
            element.bitOffset = static_cast<uint32_t>(start);
            element.arraySlotValue = pattern.logicalMin + static_cast<int64_t>(i);
            if (!appendFieldElement(kind, std::move(element), usages[i]))
                return;
        }
    }

    bool appendFieldElement(ReportKind kind, HIDDescriptorElement element, const HIDUsagePair& usage)
    {
        element.usagePage = usage.usagePage;
        element.usage = usage.usage;
        element.type = elementType(kind, usage, element.reportSize, element.isArray);
        return appendElement(std::move(element));
    }

    bool appendElement(HIDDescriptorElement element)
    {
        if (result.elements.size() >= HIDReportDescriptor::maxElements)
        {
            noteIssue(HIDReportDescriptor::elementLimitReached);
            return false;
        }
        element.cookie = static_cast<uint32_t>(result.elements.size() + 1);
        element.parentIndex = currentParent();
        result.elements.push_back(std::move(element));
        return true;
    }

    //==============================================================================
    std::optional<size_t> currentParent() const
    {
        return openCollections.empty() ? std::nullopt : openCollections.back();
    }

    void openCollection(uint32_t collectionType)
    {
        const auto usages = takeUsages();
        const auto usage = usages.empty() ? HIDUsagePair { globals.usagePage, 0 } : usages.front();
        if (openCollections.empty() && collectionType == applicationCollection)
            noteApplicationCollection(usage);

        HIDDescriptorElement element;
        element.type = HIDElementType::collection;
        element.usagePage = usage.usagePage;
        element.usage = usage.usage;
        element.collectionType = collectionType;

        // Past the element limit the collection has no element, and what it holds
        // hangs from the nearest collection that has one.
        const bool created = appendElement(std::move(element));
        openCollections.push_back(created ? std::optional<size_t>(result.elements.size() - 1) : currentParent());
    }

    void closeCollection()
    {
        if (openCollections.empty())
            return noteIssue(HIDReportDescriptor::endCollectionWithoutCollection);
        openCollections.pop_back();
    }

    void noteApplicationCollection(const HIDUsagePair& usage)
    {
        auto& pairs = result.deviceUsagePairs;
        if (pairs.empty())
            result.primaryUsage = usage;
        if (std::find(pairs.begin(), pairs.end(), usage) == pairs.end())
            pairs.push_back(usage);
    }

    //==============================================================================
    void finish()
    {
        if (!openCollections.empty())
            noteIssue(HIDReportDescriptor::unclosedCollection);

        for (const auto& [report, bits] : reportBits)
        {
            const auto bytes = static_cast<uint32_t>((bits + 7) / 8 + (result.reportsNumbered ? 1 : 0));
            auto& largest = maxReportSize(report.first);
            largest = std::max(largest, bytes);
        }
    }

    uint32_t& maxReportSize(ReportKind kind)
    {
        switch (kind)
        {
            case ReportKind::output:  return result.maxOutputReportSize;
            case ReportKind::feature: return result.maxFeatureReportSize;
            case ReportKind::input:   break;
        }
        return result.maxInputReportSize;
    }

    void noteIssue(HIDReportDescriptor::Issue issue) { result.issues |= issue; }

    //==============================================================================
    const uint8_t* cursor;
    const uint8_t* const end;
    HIDReportDescriptor result;
    GlobalState globals;
    std::vector<GlobalState> pushedGlobals;
    LocalState locals;
    std::vector<std::optional<size_t>> openCollections;   // per level: the parent of what it holds
    std::map<std::pair<ReportKind, uint32_t>, uint64_t> reportBits;
};

//==============================================================================
// Fields are packed least significant bit first (HID 1.11, section 8.4).
std::optional<int64_t> readField(const uint8_t* bytes, size_t length, uint64_t bitOffset,
                                 uint32_t width, bool isSigned)
{
    if (width == 0 || width > 32 || (bitOffset + width + 7) / 8 > length)
        return std::nullopt;

    uint64_t value = 0;
    for (uint32_t i = 0; i < width; ++i)
    {
        const uint64_t bit = bitOffset + i;
        value |= static_cast<uint64_t>((bytes[bit / 8] >>(bit % 8)) & 1) << i;
    }

    const uint64_t signBit = uint64_t { 1 } << (width - 1);
    if (isSigned && (value & signBit) != 0)
        return static_cast<int64_t>(value) - static_cast<int64_t>(signBit << 1);
    return static_cast<int64_t>(value);
}

std::optional<int64_t> arrayValue(const HIDDescriptorElement& element, const uint8_t* bytes, size_t length)
{
    const uint64_t arrayBits = static_cast<uint64_t>(element.reportSize) * element.reportCount;
    if ((element.bitOffset + arrayBits + 7) / 8 > length)
        return std::nullopt;

    const bool isSigned = element.logicalMin < 0;
    for (uint32_t slot = 0; slot < element.reportCount; ++slot)
    {
        const auto value = readField(bytes, length, element.bitOffset + uint64_t { slot } * element.reportSize,
                                     element.reportSize, isSigned);
        if (!value)
            return std::nullopt;
        if (*value == element.arraySlotValue)
            return 1;
    }
    return 0;
}

} // namespace

//==============================================================================
HIDReportDescriptor HIDReportDescriptor::parse(const uint8_t* bytes, size_t length)
{
    if (bytes == nullptr)
        length = 0;
    return DescriptorParser(bytes, length).run();
}

std::optional<int64_t> HIDReportDescriptor::extractValue(const HIDDescriptorElement& element,
                                                         bool reportsNumbered,
                                                         const uint8_t* report,
                                                         size_t length)
{
    if (element.type == HIDElementType::collection || report == nullptr)
        return std::nullopt;

    if (reportsNumbered)
    {
        if (length == 0 || report[0] != element.reportID)
            return std::nullopt;
        ++report;
        --length;
    }

    if (element.isArray)
        return arrayValue(element, report, length);
    return readField(report, length, element.bitOffset, element.reportSize, element.logicalMin < 0);
}

} // namespace platform
