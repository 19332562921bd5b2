#include "HID_Config_Utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>

namespace
{
// A change of this many percent of an element's range counts as a move.
constexpr double movementPercent = 10.0;
constexpr uint32_t forceFeedbackPage = 0x0F;
constexpr uint32_t noUsage = 0xFFFFFFFF;

// The write format (see createPreferenceText) read back. Every number is
// scanned at 64 bits and cut to its low 32 here: a vendor, product or location
// of 2^31 or more, as the device readers write them, does not fit a %d, and
// scanning a number that does not fit is undefined.
const char* const preferenceReadFormat = "d:{v:%lld, p:%lld, l:%lld, p:%lld, u:%lld}, e:{p:%lld, u:%lld, c:%lld}";

template <typename T>
struct FreeDeleter
{
    void operator()(T* table) const { std::free(table); }
};
template <typename T>
using Table = std::unique_ptr<T[], FreeDeleter<T>>;

// A zeroed table of count entries, or null when it cannot be had.
template <typename T>
Table<T> zeroedTable(size_t count)
{
    // One entry at least, so that null always means failure.
    return Table<T>(static_cast<T*>(std::calloc(count > 0 ? count : 1, sizeof(T))));
}

IOHIDDeviceRef listedDevice(CFIndex index)
{
    return static_cast<IOHIDDeviceRef>(const_cast<void*>(CFArrayGetValueAtIndex(gDeviceCFArrayRef, index)));
}

CFIndex listedDeviceCount()
{
    return gDeviceCFArrayRef != nullptr ? CFArrayGetCount(gDeviceCFArrayRef) : 0;
}

IOHIDElementRef elementIn(CFArrayRef elements, CFIndex index)
{
    return static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(elements, index)));
}

bool isInputType(IOHIDElementType type)
{
    return type >= kIOHIDElementTypeInput_Misc && type <= kIOHIDElementTypeInput_ScanCodes;
}

// The element's physical value; 0 when the device gives none.
double physicalValue(IOHIDDeviceRef device, IOHIDElementRef element)
{
    IOHIDValueRef value = nullptr;
    if (IOHIDDeviceGetValue(device, element, &value) != kIOReturnSuccess)
        return 0.0;
    return IOHIDValueGetScaledValue(value, kIOHIDValueScaleTypePhysical);
}

// Toward zero, held inside the 32-bit range, where a plain conversion of a
// value outside it would be undefined.
int32_t truncatedToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

//==============================================================================
// One row of baselines per listed device, one slot per input element of the
// device that has the most.
struct Baselines
{
    Table<double> values;
    size_t rowLength = 0;

    double& at(CFIndex device, size_t slot) { return values[static_cast<size_t>(device) * rowLength + slot]; }
};

bool makeBaselines(Baselines& baselines)
{
    const CFIndex devices = listedDeviceCount();
    for (CFIndex index = 0; index < devices; index++)
        if (IOHIDDeviceRef device = listedDevice(index))
        {
            const size_t inputs = HIDCountDeviceElements(device, HIDElementMaskInput);
            baselines.rowLength = std::max(baselines.rowLength, inputs);
        }
    baselines.values = zeroedTable<double>(static_cast<size_t>(devices) * baselines.rowLength);
    return baselines.values != nullptr;
}

// Only single-valued controls that a user moves take part.
bool canBeMoved(IOHIDElementRef element)
{
    return !IOHIDElementIsArray(element) && IOHIDElementGetReportCount(element) <= 1
           && IOHIDElementGetUsagePage(element) != forceFeedbackPage && IOHIDElementGetUsage(element) != noUsage;
}

bool movedByPercent(IOHIDElementRef element, double baseline, double value)
{
    const auto range = static_cast<double>(static_cast<int64_t>(IOHIDElementGetPhysicalMax(element))
                                           - static_cast<int64_t>(IOHIDElementGetPhysicalMin(element)));
    // An empty range: any change at all is a move.
    if (range == 0.0)
        return value != baseline;
    return std::fabs((baseline - value) * 100.0 / range) >= movementPercent;
}

// One pass over one device's input elements; true when one moved (it goes to the outputs).
bool passOverDevice(CFIndex row, bool firstPass, Baselines& baselines, IOHIDDeviceRef* outDevice,
                    IOHIDElementRef* outElement)
{
    const IOHIDDeviceRef device = listedDevice(row);
    gElementCFArrayRef = IOHIDDeviceCopyMatchingElements(device, nullptr, 0);
    if (gElementCFArrayRef == nullptr)
        return false;
    bool moved = false;
    size_t slot = 0;
    for (CFIndex index = 0; index < CFArrayGetCount(gElementCFArrayRef) && !moved; index++)
    {
        const IOHIDElementRef element = elementIn(gElementCFArrayRef, index);
        if (element == nullptr || !isInputType(IOHIDElementGetType(element)))
            continue;
        const size_t mySlot = slot++;
        if (mySlot >= baselines.rowLength || !canBeMoved(element))
            continue;
        const double value = physicalValue(device, element);
        if (firstPass)
            baselines.at(row, mySlot) = value;
        else if (movedByPercent(element, baselines.at(row, mySlot), value))
        {
            *outDevice = device;
            *outElement = element;
            moved = true;
        }
    }
    CFRelease(gElementCFArrayRef);
    gElementCFArrayRef = nullptr;
    return moved;
}

// Processor time, not wall time: detection polls without sleeping. A limit that
// is not a number ends the detection too, rather than never.
bool limitPassed(clock_t start, float limit)
{
    const double elapsed = static_cast<double>(clock() - start) / CLOCKS_PER_SEC;
    return !(elapsed <= static_cast<double>(limit));
}

//==============================================================================
// The tolerance of single-device detection: 10 percent of the logical range,
// worked out in the precisions that give 12 for a range of 127 and 25 for 255.
int64_t logicalTolerance(IOHIDElementRef element)
{
    const auto range = static_cast<float>(IOHIDElementGetLogicalMax(element) - IOHIDElementGetLogicalMin(element));
    return truncatedToInt32(static_cast<double>(range * 10.0f) * 0.01);
}

bool isOutputFeatureOrCollection(IOHIDElementType type)
{
    return type == kIOHIDElementTypeOutput || type == kIOHIDElementTypeFeature || type == kIOHIDElementTypeCollection;
}

// One pass over the device's elements; true when one moved (it stays in the output).
bool passOverElements(IOHIDDeviceRef device, CFArrayRef elements, bool firstPass, int32_t* baselines, size_t slots,
                      IOHIDElementRef* outElement)
{
    size_t slot = 0;
    for (CFIndex index = 0; index < CFArrayGetCount(elements); index++)
    {
        const IOHIDElementRef element = elementIn(elements, index);
        if (element == nullptr || isOutputFeatureOrCollection(IOHIDElementGetType(element)))
            continue;
        const size_t mySlot = slot++;
        if (mySlot >= slots)
            continue;
        *outElement = element;
        const int32_t value = truncatedToInt32(physicalValue(device, element));
        if (firstPass)
        {
            baselines[mySlot] = value;
            continue;
        }
        const int64_t tolerance = logicalTolerance(element);
        if (value > baselines[mySlot] + tolerance || value < baselines[mySlot] - tolerance)
            return true;
    }
    return false;
}

//==============================================================================
// The device's usage page and usage, or its primary ones when either is missing.
void deviceUsage(IOHIDDeviceRef device, uint32_t& usagePage, uint32_t& usage)
{
    usagePage = IOHIDDevice_GetUsagePage(device);
    usage = IOHIDDevice_GetUsage(device);
    if (usagePage == 0 || usage == 0)
    {
        usagePage = IOHIDDevice_GetPrimaryUsagePage(device);
        usage = IOHIDDevice_GetPrimaryUsage(device);
    }
}

CFStringRef createPreferenceText(IOHIDDeviceRef device, IOHIDElementRef element)
{
    const long vendorID = IOHIDDevice_GetVendorID(device);
    const long productID = IOHIDDevice_GetProductID(device);
    const long locationID = IOHIDDevice_GetLocationID(device);
    if (vendorID == 0 || productID == 0 || locationID == 0)
        return nullptr;
    uint32_t usagePage = 0, usage = 0;
    deviceUsage(device, usagePage, usage);
    if (usagePage == 0 || usage == 0)
        return nullptr;
    return CFStringCreateWithFormat(kCFAllocatorDefault, nullptr,
                                    CFSTR("d:{v:%ld, p:%ld, l:%ld, p:%d, u:%d}, e:{p:%d, u:%d, c:%d}"), vendorID,
                                    productID, locationID, static_cast<int>(usagePage), static_cast<int>(usage),
                                    static_cast<int>(IOHIDElementGetUsagePage(element)),
                                    static_cast<int>(IOHIDElementGetUsage(element)),
                                    static_cast<int>(IOHIDElementGetCookie(element)));
}

// The record that a preference text describes; false unless it holds all eight numbers.
bool scanPreferenceText(const char* text, ElementConfigRecord& record)
{
    long long numbers[8] = {};
    if (std::sscanf(text, preferenceReadFormat, &numbers[0], &numbers[1], &numbers[2], &numbers[3], &numbers[4],
                    &numbers[5], &numbers[6], &numbers[7])
        != 8)
        return false;
    uint32_t* const fields[] = { &record.vendorID,         &record.productID,    &record.locationID,
                                 &record.usagePage,        &record.usage,        &record.elementUsagePage,
                                 &record.elementUsage,     &record.elementCookie };
    for (size_t i = 0; i < 8; i++)
        *fields[i] = static_cast<uint32_t>(static_cast<unsigned long long>(numbers[i]));
    return true;
}

//==============================================================================
int64_t deviceScore(IOHIDDeviceRef device, const ElementConfigRecord& record)
{
    int64_t score = 1;
    const auto vendorID = static_cast<uint32_t>(IOHIDDevice_GetVendorID(device));
    if (vendorID != 0 && vendorID == record.vendorID)
    {
        score += 10;
        const auto productID = static_cast<uint32_t>(IOHIDDevice_GetProductID(device));
        if (productID != 0 && productID == record.productID)
            score += 8;
    }
    uint32_t usagePage = 0, usage = 0;
    deviceUsage(device, usagePage, usage);
    if (usagePage != 0 && usage != 0 && usagePage == record.usagePage && usage == record.usage)
        score += 9;
    const auto locationID = static_cast<uint32_t>(IOHIDDevice_GetLocationID(device));
    if (locationID != 0 && locationID == record.locationID)
        score += 5;
    return score;
}

int64_t elementScore(IOHIDElementRef element, int64_t score, const ElementConfigRecord& record)
{
    if (record.elementUsagePage == 0 || record.elementUsage == 0)
        return score;
    if (IOHIDElementGetUsagePage(element) != record.elementUsagePage
        || IOHIDElementGetUsage(element) != record.elementUsage)
        return 0;
    score += 5;
    if (IOHIDElementGetCookie(element) == record.elementCookie)
        score += 4;
    return score;
}

//==============================================================================
bool hasIdentity(IOHIDDeviceRef device, const ElementConfigRecord& record, bool withLocation)
{
    return static_cast<uint32_t>(IOHIDDevice_GetVendorID(device)) == record.vendorID
           && static_cast<uint32_t>(IOHIDDevice_GetProductID(device)) == record.productID
           && (!withLocation || static_cast<uint32_t>(IOHIDDevice_GetLocationID(device)) == record.locationID);
}

IOHIDDeviceRef firstListedDeviceWith(const ElementConfigRecord& record, bool withLocation)
{
    for (CFIndex index = 0; index < listedDeviceCount(); index++)
    {
        const IOHIDDeviceRef device = listedDevice(index);
        if (device != nullptr && hasIdentity(device, record, withLocation))
            return device;
    }
    return nullptr;
}

// By location, vendor and product; else by vendor and product alone. Only a
// record that names all three is searched for.
IOHIDDeviceRef configuredDevice(const ElementConfigRecord& record)
{
    if (record.locationID == 0 || record.vendorID == 0 || record.productID == 0)
        return nullptr;
    if (IOHIDDeviceRef device = firstListedDeviceWith(record, true))
        return device;
    return firstListedDeviceWith(record, false);
}

template <typename Matches>
IOHIDElementRef firstElementWhere(CFArrayRef elements, Matches matches)
{
    for (CFIndex index = 0; index < CFArrayGetCount(elements); index++)
    {
        const IOHIDElementRef element = elementIn(elements, index);
        if (element != nullptr && matches(element))
            return element;
    }
    return nullptr;
}

// The device's element with the record's cookie, else with its usage.
IOHIDElementRef configuredElement(IOHIDDeviceRef device, const ElementConfigRecord& record)
{
    const CFArrayRef elements = IOHIDDeviceCopyMatchingElements(device, nullptr, 0);
    if (elements == nullptr)
        return nullptr;
    IOHIDElementRef element = firstElementWhere(
        elements, [&](IOHIDElementRef candidate) { return IOHIDElementGetCookie(candidate) == record.elementCookie; });
    if (element == nullptr)
        element = firstElementWhere(elements, [&](IOHIDElementRef candidate) {
            return IOHIDElementGetUsagePage(candidate) == record.elementUsagePage
                   && IOHIDElementGetUsage(candidate) == record.elementUsage;
        });
    CFRelease(elements);
    return element;
}

void applySaturation(IOHIDElementRef element, const ElementConfigRecord& record)
{
    IOHIDElement_SetupCalibration(element);
    IOHIDElement_SetCalibrationSaturationMin(element, record.minReport);
    IOHIDElement_SetCalibrationSaturationMax(element, record.maxReport);
}
} // namespace

//==============================================================================
Boolean HIDConfigureAction(IOHIDDeviceRef* outIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef, float inTimeout)
{
    if (outIOHIDDeviceRef == nullptr || outIOHIDElementRef == nullptr)
        return false;
    if (!HIDHaveDeviceList() && (!HIDBuildDeviceList(0, 0) || !HIDHaveDeviceList()))
        return false;

    const clock_t start = clock();
    Baselines baselines;
    bool moved = false;
    if (makeBaselines(baselines))
    {
        for (bool firstPass = true; !moved; firstPass = false)
        {
            for (CFIndex row = 0; row < listedDeviceCount() && !moved; row++)
                if (listedDevice(row) != nullptr)
                    moved = passOverDevice(row, firstPass, baselines, outIOHIDDeviceRef, outIOHIDElementRef);
            if (limitPassed(start, inTimeout))
                break;
        }
    }
    if (!moved)
    {
        *outIOHIDDeviceRef = nullptr;
        *outIOHIDElementRef = nullptr;
    }
    return moved;
}

Boolean HIDConfigureSingleDeviceAction(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef,
                                       float inTimeout)
{
    if (inIOHIDDeviceRef == nullptr || outIOHIDElementRef == nullptr || !HIDHaveDeviceList())
        return false;

    const size_t slots = HIDCountDeviceElements(inIOHIDDeviceRef, HIDElementMaskInput);
    const auto baselines = zeroedTable<int32_t>(slots);
    const CFArrayRef elements = baselines != nullptr ? IOHIDDeviceCopyMatchingElements(inIOHIDDeviceRef, nullptr, 0)
                                                     : nullptr;
    bool moved = false;
    if (elements != nullptr)
    {
        const clock_t start = clock();
        for (bool firstPass = true; !moved; firstPass = false)
        {
            moved = passOverElements(inIOHIDDeviceRef, elements, firstPass, baselines.get(), slots, outIOHIDElementRef);
            if (limitPassed(start, inTimeout))
                break;
        }
        CFRelease(elements);
    }
    if (!moved)
        *outIOHIDElementRef = nullptr;
    return moved;
}

//==============================================================================
Boolean HIDSaveElementPref(CFStringRef inKeyCFStringRef, CFStringRef inAppCFStringRef, IOHIDDeviceRef inIOHIDDeviceRef,
                           IOHIDElementRef inIOHIDElementRef)
{
    if (inKeyCFStringRef == nullptr || inAppCFStringRef == nullptr || inIOHIDDeviceRef == nullptr
        || inIOHIDElementRef == nullptr)
        return false;
    const CFStringRef text = createPreferenceText(inIOHIDDeviceRef, inIOHIDElementRef);
    if (text == nullptr)
        return false;
    CFPreferencesSetAppValue(inKeyCFStringRef, text, inAppCFStringRef);
    CFRelease(text);
    return true;
}

Boolean HIDRestoreElementPref(CFStringRef inKeyCFStringRef, CFStringRef inAppCFStringRef,
                              IOHIDDeviceRef* outIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef)
{
    if (inKeyCFStringRef == nullptr || inAppCFStringRef == nullptr || outIOHIDDeviceRef == nullptr
        || outIOHIDElementRef == nullptr)
        return false;
    const CFPropertyListRef value = CFPreferencesCopyAppValue(inKeyCFStringRef, inAppCFStringRef);
    if (value == nullptr)
        return false;

    Boolean found = false;
    char text[256];
    ElementConfigRecord record {};
    if (CFGetTypeID(value) != CFStringGetTypeID())
    {
        // Not written by HIDSaveElementPref: it would fail every restore.
        CFPreferencesSetAppValue(inKeyCFStringRef, nullptr, inAppCFStringRef);
        (void) CFPreferencesAppSynchronize(inAppCFStringRef);
    }
    else if (CFStringGetCString(static_cast<CFStringRef>(value), text, sizeof text, kCFStringEncodingUTF8)
             && scanPreferenceText(text, record))
        found = HIDFindDeviceAndElement(&record, outIOHIDDeviceRef, outIOHIDElementRef);
    CFRelease(value);
    return found;
}

Boolean HIDFindDeviceAndElement(const ElementConfigRecord* inSearchInfo, IOHIDDeviceRef* outFoundDevice,
                                IOHIDElementRef* outFoundElement)
{
    int64_t bestScore = 0;
    IOHIDDeviceRef bestDevice = nullptr;
    IOHIDElementRef bestElement = nullptr;
    for (CFIndex index = 0; index < listedDeviceCount(); index++)
    {
        const IOHIDDeviceRef device = listedDevice(index);
        if (device == nullptr)
            continue;
        const int64_t score = deviceScore(device, *inSearchInfo);
        gElementCFArrayRef = IOHIDDeviceCopyMatchingElements(device, nullptr, 0);
        if (gElementCFArrayRef == nullptr)
            continue;
        for (CFIndex element = 0; element < CFArrayGetCount(gElementCFArrayRef); element++)
        {
            const IOHIDElementRef candidate = elementIn(gElementCFArrayRef, element);
            if (candidate == nullptr)
                continue;
            // Strictly greater: the earliest of equal scores stays the best.
            const int64_t candidateScore = elementScore(candidate, score, *inSearchInfo);
            if (candidateScore > bestScore)
            {
                bestScore = candidateScore;
                bestDevice = device;
                bestElement = candidate;
            }
        }
        CFRelease(gElementCFArrayRef);
        gElementCFArrayRef = nullptr;
    }
    if (bestDevice == nullptr)
        return false;
    *outFoundDevice = bestDevice;
    *outFoundElement = bestElement;
    return true;
}

//==============================================================================
void HIDSetElementConfig(ElementConfigRecord* inConfigRec, IOHIDDeviceRef inIOHIDDeviceRef,
                         IOHIDElementRef inIOHIDElementRef, int actionCookie)
{
    *inConfigRec = ElementConfigRecord {};
    inConfigRec->actionCookie = actionCookie;
    if (inIOHIDDeviceRef == nullptr || inIOHIDElementRef == nullptr)
        return;
    // The readers' values are kept to their low 32 bits, the width of the record.
    inConfigRec->vendorID = static_cast<uint32_t>(IOHIDDevice_GetVendorID(inIOHIDDeviceRef));
    inConfigRec->productID = static_cast<uint32_t>(IOHIDDevice_GetProductID(inIOHIDDeviceRef));
    inConfigRec->locationID = static_cast<uint32_t>(IOHIDDevice_GetLocationID(inIOHIDDeviceRef));
    inConfigRec->usagePage = IOHIDDevice_GetUsagePage(inIOHIDDeviceRef);
    inConfigRec->usage = IOHIDDevice_GetUsage(inIOHIDDeviceRef);
    inConfigRec->elementUsagePage = IOHIDElementGetUsagePage(inIOHIDElementRef);
    inConfigRec->elementUsage = IOHIDElementGetUsage(inIOHIDElementRef);
    inConfigRec->minReport = static_cast<int32_t>(IOHIDElement_GetCalibrationSaturationMin(inIOHIDElementRef));
    inConfigRec->maxReport = static_cast<int32_t>(IOHIDElement_GetCalibrationSaturationMax(inIOHIDElementRef));
    inConfigRec->elementCookie = IOHIDElementGetCookie(inIOHIDElementRef);
}

void HIDSaveElementConfig(FILE* fileRef, IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef,
                          int actionCookie)
{
    ElementConfigRecord record;
    HIDSetElementConfig(&record, inIOHIDDeviceRef, inIOHIDElementRef, actionCookie);
    if (fileRef != nullptr)
        (void) std::fwrite(&record, sizeof record, 1, fileRef);
}

int HIDRestoreElementConfig(FILE* fileRef, IOHIDDeviceRef* outIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef)
{
    // Zeroed first: a short read leaves the rest 0, which no search matches.
    ElementConfigRecord record {};
    if (fileRef != nullptr)
        (void) std::fread(&record, 1, sizeof record, fileRef);
    return HIDGetElementConfig(&record, outIOHIDDeviceRef, outIOHIDElementRef);
}

int HIDGetElementConfig(const ElementConfigRecord* inConfigRec, IOHIDDeviceRef* outIOHIDDeviceRef,
                        IOHIDElementRef* outIOHIDElementRef)
{
    const IOHIDDeviceRef device = configuredDevice(*inConfigRec);
    const IOHIDElementRef element = device != nullptr ? configuredElement(device, *inConfigRec) : nullptr;
    if (element != nullptr)
        applySaturation(element, *inConfigRec);
    const bool found = device != nullptr && element != nullptr;
    *outIOHIDDeviceRef = found ? device : nullptr;
    *outIOHIDElementRef = found ? element : nullptr;
    return inConfigRec->actionCookie;
}
