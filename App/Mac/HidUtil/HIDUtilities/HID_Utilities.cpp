#include "HID_Utilities.h"

#include "HID_Assert.h"

#include <cstdint>
#include <cstdio>

IOHIDManagerRef gIOHIDManagerRef = nullptr;
CFMutableArrayRef gDeviceCFArrayRef = nullptr;
CFIndex gDeviceIndex = 0;
CFArrayRef gElementCFArrayRef = nullptr;

namespace
{
const char* const kBuildFunction = "Boolean HIDBuildMultiDeviceList(const UInt32 *, const UInt32 *, int)";
const char* const kMatchingFunction = "CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32, UInt32)";

void report(const char* function, const char* message)
{
    std::fprintf(stderr, "%s: %s", function, message);
}

// Null leaves the manager matching every HID device.
CFMutableArrayRef createMatchingArray(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes)
{
    if (inUsagePages == nullptr || inUsages == nullptr || inNumDeviceTypes == 0)
        return nullptr;

    CFMutableArrayRef matching = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    if (matching == nullptr)
    {
        report(kBuildFunction, "Couldn\u2019t create a matching array.");
        return nullptr;
    }
    for (int index = 0; index < inNumDeviceTypes; index++)
    {
        CFMutableDictionaryRef dictionary = hu_SetUpMatchingDictionary(inUsagePages[index], inUsages[index]);
        if (dictionary == nullptr)
        {
            report(kBuildFunction, "Couldn\u2019t create a matching dictionary.");
            continue;
        }
        CFArrayAppendValue(matching, dictionary);
        CFRelease(dictionary);
    }
    return matching;
}

Boolean setNumber(CFMutableDictionaryRef dictionary, CFStringRef key, UInt32 value)
{
    const int number = static_cast<int>(value);
    const CFNumberRef object = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &number);
    if (object == nullptr)
        return false;
    CFDictionarySetValue(dictionary, key, object);
    CFRelease(object);
    return true;
}

bool cursorInsideSnapshot()
{
    return gDeviceIndex >= 0 && gDeviceIndex < CFArrayGetCount(gDeviceCFArrayRef);
}

// Device references are mutable objects that CoreFoundation containers hand out as const void*.
IOHIDDeviceRef asDevice(const void* value)
{
    return static_cast<IOHIDDeviceRef>(const_cast<void*>(value));
}

IOHIDDeviceRef deviceAt(CFIndex index)
{
    return asDevice(CFArrayGetValueAtIndex(gDeviceCFArrayRef, index));
}

// The cursor is shared by every walk, so another walk may have moved it: find
// the given device again and stand just after it, or lose the position.
void moveCursorAfter(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (deviceAt(gDeviceIndex) != nullptr && deviceAt(gDeviceIndex) == inIOHIDDeviceRef)
    {
        gDeviceIndex++;
        return;
    }
    gDeviceIndex = -1;
    const CFIndex count = CFArrayGetCount(gDeviceCFArrayRef);
    for (CFIndex index = 0; index < count; index++)
    {
        const IOHIDDeviceRef device = deviceAt(index);
        if (device != nullptr && device == inIOHIDDeviceRef)
        {
            gDeviceIndex = index + 1;
            return;
        }
    }
}
} // namespace

//==============================================================================
Boolean HIDBuildMultiDeviceList(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes)
{
    const bool createdManager = gIOHIDManagerRef == nullptr;
    if (createdManager)
        gIOHIDManagerRef = IOHIDManagerCreate(kCFAllocatorDefault, 0);
    if (gIOHIDManagerRef == nullptr)
    {
        report(kBuildFunction, "Couldn\u2019t create a IOHIDManager.");
        return false;
    }

    CFMutableArrayRef matching = createMatchingArray(inUsagePages, inUsages, inNumDeviceTypes);
    IOHIDManagerSetDeviceMatchingMultiple(gIOHIDManagerRef, matching);
    if (matching != nullptr)
        CFRelease(matching);

    // Only the call that made the manager opens it; a failed open is not retried.
    if (createdManager && IOHIDManagerOpen(gIOHIDManagerRef, 0) != kIOReturnSuccess)
    {
        report(kBuildFunction, "Couldn\u2019t open IOHIDManager.");
        return false;
    }

    HIDRebuildDevices();
    return true;
}

Boolean HIDBuildDeviceList(UInt32 inUsagePage, UInt32 inUsage)
{
    return HIDBuildMultiDeviceList(&inUsagePage, &inUsage, 1);
}

Boolean HIDUpdateDeviceList(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes)
{
    return HIDBuildMultiDeviceList(inUsagePages, inUsages, inNumDeviceTypes);
}

CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32 inUsagePage, UInt32 inUsage)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (dictionary == nullptr)
    {
        report(kMatchingFunction, "CFDictionaryCreateMutable failed.");
        return nullptr;
    }
    // A usage means nothing without its page, so it is only added after one.
    if (inUsagePage == 0)
        return dictionary;
    if (! setNumber(dictionary, CFSTR(kIOHIDPrimaryUsagePageKey), inUsagePage))
    {
        report(kMatchingFunction, "CFNumberCreate( usage page ) failed.");
        return dictionary;
    }
    if (inUsage != 0 && ! setNumber(dictionary, CFSTR(kIOHIDPrimaryUsageKey), inUsage))
        report(kMatchingFunction, "CFNumberCreate( usage ) failed.");
    return dictionary;
}

//==============================================================================
void HIDRebuildDevices(void)
{
    const CFSetRef devices = IOHIDManagerCopyDevices(gIOHIDManagerRef);
    if (devices == nullptr)
        return;

    HIDReleaseDeviceList();
    gDeviceCFArrayRef = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    if (gDeviceCFArrayRef != nullptr)
    {
        CFSetApplyFunction(devices, CFSetApplierFunctionCopyToCFArray, gDeviceCFArrayRef);
        const CFRange everything = CFRangeMake(0, CFArrayGetCount(gDeviceCFArrayRef));
        CFArraySortValues(gDeviceCFArrayRef, everything, CFDeviceArrayComparatorFunction, nullptr);
    }
    CFRelease(devices);
}

void HIDReleaseDeviceList(void)
{
    if (gDeviceCFArrayRef == nullptr)
        return;
    CFRelease(gDeviceCFArrayRef);
    gDeviceCFArrayRef = nullptr;
}

Boolean HIDHaveDeviceList(void)
{
    return gDeviceCFArrayRef != nullptr;
}

UInt32 HIDCountDevices(void)
{
    if (gDeviceCFArrayRef == nullptr)
        return 0;
    return static_cast<UInt32>(CFArrayGetCount(gDeviceCFArrayRef));
}

//==============================================================================
IOHIDDeviceRef HIDGetFirstDevice(void)
{
    gDeviceIndex = 0;
    if (gDeviceCFArrayRef == nullptr || ! cursorInsideSnapshot())
        return nullptr;
    return deviceAt(gDeviceIndex);
}

IOHIDDeviceRef HIDGetNextDevice(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (gDeviceCFArrayRef == nullptr || inIOHIDDeviceRef == nullptr || ! cursorInsideSnapshot())
        return nullptr;

    moveCursorAfter(inIOHIDDeviceRef);
    return cursorInsideSnapshot() ? deviceAt(gDeviceIndex) : nullptr;
}

//==============================================================================
void CFSetApplierFunctionCopyToCFArray(const void* value, void* context)
{
    CFArrayAppendValue(static_cast<CFMutableArrayRef>(context), value);
}

CFComparisonResult CFDeviceArrayComparatorFunction(const void* val1, const void* val2, void* /*context*/)
{
    const long location1 = IOHIDDevice_GetLocationID(asDevice(val1));
    const long location2 = IOHIDDevice_GetLocationID(asDevice(val2));
    if (location1 < location2)
        return kCFCompareLessThan;
    if (location1 > location2)
        return kCFCompareGreaterThan;
    return kCFCompareEqualTo;
}

//==============================================================================
namespace
{
bool isSelected(IOHIDElementRef element, HIDElementTypeMask typeMask)
{
    switch (IOHIDElementGetType(element))
    {
        case kIOHIDElementTypeInput_Misc:
        case kIOHIDElementTypeInput_Button:
        case kIOHIDElementTypeInput_Axis:
        case kIOHIDElementTypeInput_ScanCodes:
            return (typeMask & HIDElementMaskInput) != 0;
        case kIOHIDElementTypeOutput:
            return (typeMask & HIDElementMaskOutput) != 0;
        case kIOHIDElementTypeFeature:
            return (typeMask & HIDElementMaskFeature) != 0;
        case kIOHIDElementTypeCollection:
            return (typeMask & HIDElementMaskCollection) != 0;
    }
    return false;
}

// Fills gElementCFArrayRef with every element of the device; false when the device gives no list.
bool copyElementList(IOHIDDeviceRef device)
{
    gElementCFArrayRef = IOHIDDeviceCopyMatchingElements(device, nullptr, 0);
    return gElementCFArrayRef != nullptr;
}

void releaseElementList()
{
    CFRelease(gElementCFArrayRef);
    gElementCFArrayRef = nullptr;
}

IOHIDElementRef elementAt(CFIndex index)
{
    return static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(gElementCFArrayRef, index)));
}

// The first selected element of the copied list at or after index.
IOHIDElementRef firstSelectedFrom(CFIndex index, HIDElementTypeMask typeMask)
{
    const CFIndex count = CFArrayGetCount(gElementCFArrayRef);
    for (; index < count; index++)
    {
        const IOHIDElementRef element = elementAt(index);
        if (element != nullptr && isSelected(element, typeMask))
            return element;
    }
    return nullptr;
}

// Where the given element stands in the copied list, found by identity; the count when it is not there.
CFIndex indexOf(IOHIDElementRef inIOHIDElementRef)
{
    const CFIndex count = CFArrayGetCount(gElementCFArrayRef);
    CFIndex index = 0;
    while (index < count && elementAt(index) != inIOHIDElementRef)
        index++;
    return index;
}
} // namespace

UInt32 HIDCountDeviceElements(IOHIDDeviceRef inIOHIDDeviceRef, HIDElementTypeMask typeMask)
{
    if (inIOHIDDeviceRef == nullptr)
        return 0;
    HIDAssert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));
    if (!copyElementList(inIOHIDDeviceRef))
        return 0;

    UInt32 count = 0;
    for (CFIndex index = 0; index < CFArrayGetCount(gElementCFArrayRef); index++)
    {
        const IOHIDElementRef element = elementAt(index);
        if (element != nullptr && isSelected(element, typeMask))
            count++;
    }
    releaseElementList();
    return count;
}

IOHIDElementRef HIDGetFirstDeviceElement(IOHIDDeviceRef inIOHIDDeviceRef, HIDElementTypeMask typeMask)
{
    if (inIOHIDDeviceRef == nullptr)
        return nullptr;
    HIDAssert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));
    if (!copyElementList(inIOHIDDeviceRef))
        return nullptr;

    const IOHIDElementRef result = firstSelectedFrom(0, typeMask);
    releaseElementList();
    return result;
}

IOHIDElementRef HIDGetNextDeviceElement(IOHIDElementRef inIOHIDElementRef, HIDElementTypeMask typeMask)
{
    if (inIOHIDElementRef == nullptr)
        return nullptr;
    HIDAssert(IOHIDElementGetTypeID() == CFGetTypeID(inIOHIDElementRef));
    const IOHIDDeviceRef device = IOHIDElementGetDevice(inIOHIDElementRef);
    if (device == nullptr || !copyElementList(device))
        return nullptr;

    // No cursor is kept: the given element, found again by identity, marks the place.
    const IOHIDElementRef result = firstSelectedFrom(indexOf(inIOHIDElementRef) + 1, typeMask);
    releaseElementList();
    return result;
}

//==============================================================================
namespace
{
// Platform texts print through a buffer of 256 bytes; one that does not fit or
// convert prints empty.
struct Utf8Text
{
    explicit Utf8Text(CFStringRef text)
    {
        if (text == nullptr || !CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8))
            buffer[0] = 0;
    }

    char buffer[256];
};

void printDevicePiece(const char* format, long value)
{
    if (value != 0)
        std::printf(format, value);
}

void printUsageName(long usagePage, long usage)
{
    const CFStringRef name = HIDCopyUsageName(usagePage, usage);
    if (name == nullptr)
        return;
    std::printf("\"%s\", ", Utf8Text(name).buffer);
    CFRelease(name);
}

void printDeviceUsage(IOHIDDeviceRef inIOHIDDeviceRef)
{
    uint32_t usagePage = IOHIDDevice_GetUsagePage(inIOHIDDeviceRef);
    uint32_t usage = IOHIDDevice_GetUsage(inIOHIDDeviceRef);
    if (usagePage == 0 || usage == 0)
    {
        usagePage = IOHIDDevice_GetPrimaryUsagePage(inIOHIDDeviceRef);
        usage = IOHIDDevice_GetPrimaryUsage(inIOHIDDeviceRef);
    }
    std::printf("usage: 0x%04lX:0x%04lX, ", static_cast<long>(usagePage), static_cast<long>(usage));
    printUsageName(usagePage, usage);
}

void printDeviceText(const char* format, CFStringRef text)
{
    if (text != nullptr)
        std::printf(format, Utf8Text(text).buffer);
}

void printDeviceReference(const char* format, const void* reference)
{
    if (reference != nullptr)
        std::printf(format, reference);
}

const char* collectionTypeName(IOHIDElementCollectionType collectionType)
{
    switch (collectionType)
    {
        case kIOHIDElementCollectionTypePhysical:      return "Physical";
        case kIOHIDElementCollectionTypeApplication:   return "Application";
        case kIOHIDElementCollectionTypeLogical:       return "Logical";
        case kIOHIDElementCollectionTypeReport:        return "Report";
        case kIOHIDElementCollectionTypeNamedArray:    return "Named Array";
        case kIOHIDElementCollectionTypeUsageSwitch:   return "Usage Switch";
        case kIOHIDElementCollectionTypeUsageModifier: return "Usage Modifier";
    }
    return nullptr;
}

// Values outside the tables print in the pointer form of the C library.
const void* asPointer(uint32_t value)
{
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(value));
}

void printCollectionType(IOHIDElementRef inIOHIDElementRef)
{
    const IOHIDElementCollectionType collectionType = IOHIDElementGetCollectionType(inIOHIDElementRef);
    if (const char* name = collectionTypeName(collectionType))
        std::printf("type: %s Collection, ", name);
    else
        std::printf("type: %p Collection, ", asPointer(collectionType));
}

void printElementType(IOHIDElementRef inIOHIDElementRef)
{
    const IOHIDElementType type = IOHIDElementGetType(inIOHIDElementRef);
    switch (type)
    {
        case kIOHIDElementTypeInput_Misc:      std::printf("type: Misc, "); break;
        case kIOHIDElementTypeInput_Button:    std::printf("type: Button, "); break;
        case kIOHIDElementTypeInput_Axis:      std::printf("type: Axis, "); break;
        case kIOHIDElementTypeInput_ScanCodes: std::printf("type: ScanCodes, "); break;
        case kIOHIDElementTypeOutput:          std::printf("type: Output, "); break;
        case kIOHIDElementTypeFeature:         std::printf("type: Feature, "); break;
        case kIOHIDElementTypeCollection:      printCollectionType(inIOHIDElementRef); break;
        default:                               std::printf("type: %p, ", asPointer(type)); break;
    }
}

void printElementName(IOHIDElementRef inIOHIDElementRef)
{
    const CFStringRef name = IOHIDElementGetName(inIOHIDElementRef);
    char buffer[256];
    // Unlike the device's texts, a name that does not convert is left out.
    if (name != nullptr && CFStringGetCString(name, buffer, sizeof buffer, kCFStringEncodingUTF8))
        std::printf("name: %s, ", buffer);
}

void printElementRanges(IOHIDElementRef inIOHIDElementRef)
{
    const uint32_t unit = IOHIDElementGetUnit(inIOHIDElementRef);
    const uint32_t unitExponent = IOHIDElementGetUnitExponent(inIOHIDElementRef);
    if (unit != 0 || unitExponent != 0)
        std::printf("unit: %lu * 10^%lu, ", static_cast<unsigned long>(unit), static_cast<unsigned long>(unitExponent));

    const CFIndex logicalMin = IOHIDElementGetLogicalMin(inIOHIDElementRef);
    const CFIndex logicalMax = IOHIDElementGetLogicalMax(inIOHIDElementRef);
    if (logicalMin != logicalMax)
        std::printf("logical: {min: %ld, max: %ld}, ", logicalMin, logicalMax);

    const CFIndex physicalMin = IOHIDElementGetPhysicalMin(inIOHIDElementRef);
    const CFIndex physicalMax = IOHIDElementGetPhysicalMax(inIOHIDElementRef);
    if (physicalMin != physicalMax)
        std::printf("physical: {min: %ld, max: %ld}, ", physicalMin, physicalMax);
}

void printElementFlag(Boolean isSet, const char* piece)
{
    if (isSet)
        std::printf("%s", piece);
}

void printElementFlags(IOHIDElementRef inIOHIDElementRef)
{
    printElementFlag(IOHIDElementIsVirtual(inIOHIDElementRef), "isVirtual, ");
    printElementFlag(IOHIDElementIsRelative(inIOHIDElementRef), "isRelative, ");
    printElementFlag(IOHIDElementIsWrapping(inIOHIDElementRef), "isWrapping, ");
    printElementFlag(IOHIDElementIsArray(inIOHIDElementRef), "isArray, ");
    printElementFlag(IOHIDElementIsNonLinear(inIOHIDElementRef), "isNonLinear, ");
    printElementFlag(IOHIDElementHasPreferredState(inIOHIDElementRef), "hasPreferredState, ");
    printElementFlag(IOHIDElementHasNullState(inIOHIDElementRef), "hasNullState, ");
}
} // namespace

void HIDDumpDeviceInfo(IOHIDDeviceRef inIOHIDDeviceRef)
{
    std::printf("Device: %p = { ", static_cast<const void*>(inIOHIDDeviceRef));
    std::printf("%s - %s, ", Utf8Text(IOHIDDevice_GetManufacturer(inIOHIDDeviceRef)).buffer,
                Utf8Text(IOHIDDevice_GetProduct(inIOHIDDeviceRef)).buffer);
    printDevicePiece("\tvendorID:\t0x%04lX, ", IOHIDDevice_GetVendorID(inIOHIDDeviceRef));
    printDevicePiece("\tproductID:\t0x%04lX, ", IOHIDDevice_GetProductID(inIOHIDDeviceRef));
    printDeviceUsage(inIOHIDDeviceRef);
    printDeviceText("Transport: \"%s\", ", IOHIDDevice_GetTransport(inIOHIDDeviceRef));
    printDevicePiece("VendorIDSource: %ld, ", IOHIDDevice_GetVendorIDSource(inIOHIDDeviceRef));
    printDevicePiece("version: %ld, ", IOHIDDevice_GetVersionNumber(inIOHIDDeviceRef));
    printDeviceText("SerialNumber: \"%s\", ", IOHIDDevice_GetSerialNumber(inIOHIDDeviceRef));
    printDevicePiece("CountryCode: %ld, ", IOHIDDevice_GetCountryCode(inIOHIDDeviceRef));
    printDevicePiece("locationID: 0x%08lX, ", IOHIDDevice_GetLocationID(inIOHIDDeviceRef));
    printDevicePiece("MaxInputReportSize: %ld, ", IOHIDDevice_GetMaxInputReportSize(inIOHIDDeviceRef));
    printDevicePiece("MaxOutputReportSize: %ld, ", IOHIDDevice_GetMaxOutputReportSize(inIOHIDDeviceRef));
    printDevicePiece("MaxFeatureReportSize: %ld, ", IOHIDDevice_GetMaxFeatureReportSize(inIOHIDDeviceRef));
    printDevicePiece("ReportInterval: %ld, ", IOHIDDevice_GetReportInterval(inIOHIDDeviceRef));
    printDeviceReference("queue: %p, ", IOHIDDevice_GetQueue(inIOHIDDeviceRef));
    printDeviceReference("transaction: %p, ", IOHIDDevice_GetTransaction(inIOHIDDeviceRef));
    std::printf("}\n");
    std::fflush(stdout);
}

void HIDDumpElementInfo(IOHIDElementRef inIOHIDElementRef)
{
    if (inIOHIDElementRef == nullptr)
        return;
    std::printf("    Element: %p = { ", static_cast<const void*>(inIOHIDElementRef));
    std::printf("parent: %p, ", static_cast<const void*>(IOHIDElementGetParent(inIOHIDElementRef)));
    std::printf("cookie: %d, ", static_cast<int>(IOHIDElementGetCookie(inIOHIDElementRef)));
    printElementType(inIOHIDElementRef);
    const uint32_t usagePage = IOHIDElementGetUsagePage(inIOHIDElementRef);
    const uint32_t usage = IOHIDElementGetUsage(inIOHIDElementRef);
    std::printf("usage: 0x%04lX:0x%04lX, ", static_cast<unsigned long>(usagePage), static_cast<unsigned long>(usage));
    printUsageName(usagePage, usage);
    printElementName(inIOHIDElementRef);
    std::printf("report: { ID: %lu, Size: %lu, Count: %lu }, ",
                static_cast<unsigned long>(IOHIDElementGetReportID(inIOHIDElementRef)),
                static_cast<unsigned long>(IOHIDElementGetReportSize(inIOHIDElementRef)),
                static_cast<unsigned long>(IOHIDElementGetReportCount(inIOHIDElementRef)));
    printElementRanges(inIOHIDElementRef);
    printElementFlags(inIOHIDElementRef);
    std::printf(" }\n");
}

void HIDDumpElementCalibrationInfo(IOHIDElementRef inIOHIDElementRef)
{
    std::printf("    Element: %p = { ", static_cast<const void*>(inIOHIDElementRef));
    // Each pair is read minimum first: a getter stores its default as it reads.
    const CFIndex calibrationMin = IOHIDElement_GetCalibrationMin(inIOHIDElementRef);
    const CFIndex calibrationMax = IOHIDElement_GetCalibrationMax(inIOHIDElementRef);
    std::printf("cal: {min: %ld, max: %ld}, ", calibrationMin, calibrationMax);
    const CFIndex saturationMin = IOHIDElement_GetCalibrationSaturationMin(inIOHIDElementRef);
    const CFIndex saturationMax = IOHIDElement_GetCalibrationSaturationMax(inIOHIDElementRef);
    std::printf("sat: {min: %ld, max: %ld}, ", saturationMin, saturationMax);
    const CFIndex deadZoneMin = IOHIDElement_GetCalibrationDeadZoneMin(inIOHIDElementRef);
    const CFIndex deadZoneMax = IOHIDElement_GetCalibrationDeadZoneMax(inIOHIDElementRef);
    std::printf("dead: {min: %ld, max: %ld}, ", deadZoneMin, deadZoneMax);
    std::printf("granularity: %6.2f }\n", IOHIDElement_GetCalibrationGranularity(inIOHIDElementRef));
}
