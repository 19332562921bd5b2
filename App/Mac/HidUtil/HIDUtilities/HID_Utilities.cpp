#include "HID_Utilities.h"

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
