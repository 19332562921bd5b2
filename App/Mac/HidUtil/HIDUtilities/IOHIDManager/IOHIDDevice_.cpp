#include "IOHIDDevice_.h"

#include "HID_Assert.h"

// The library keeps its own objects on a device under these keys.
#define kDeviceQueueRefKey "DeviceQueueRef"
#define kDeviceTransactionRefKey "DeviceTransactionRef"

namespace
{
// Number properties are 32-bit on the wire; only the low half of the long is
// written, so a caller that zeroed it sees the value zero-extended.
Boolean readLowHalf(CFTypeRef property, long* outValue)
{
    if (property == nullptr || CFGetTypeID(property) != CFNumberGetTypeID())
        return false;

    SInt32 value = 0;
    const Boolean exact = CFNumberGetValue(static_cast<CFNumberRef>(property), kCFNumberSInt32Type, &value);
    const auto high = static_cast<unsigned long>(*outValue) & ~0xFFFFFFFFul;
    *outValue = static_cast<long>(high | static_cast<UInt32>(value));
    return exact;
}

CFTypeRef getObjectProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef key)
{
    if (inIOHIDDeviceRef == nullptr)
        return nullptr;
    HIDAssert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));
    return IOHIDDeviceGetProperty(inIOHIDDeviceRef, key);
}

long getLong(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef key)
{
    long result = 0;
    (void) IOHIDDevice_GetLongProperty(inIOHIDDeviceRef, key, &result);
    return result;
}

// References are kept at their full 64-bit width, unlike the 32-bit number properties.
long getReferenceProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef key)
{
    long result = 0;
    const CFTypeRef property = getObjectProperty(inIOHIDDeviceRef, key);
    if (property != nullptr && CFGetTypeID(property) == CFNumberGetTypeID())
    {
        SInt64 value = 0;
        CFNumberGetValue(static_cast<CFNumberRef>(property), kCFNumberSInt64Type, &value);
        result = static_cast<long>(value);
    }
    return result;
}

void setReferenceProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef key, const void* reference)
{
    if (inIOHIDDeviceRef == nullptr)
        return;
    const auto value = static_cast<SInt64>(reinterpret_cast<intptr_t>(reference));
    const CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value);
    if (number == nullptr)
        return;
    (void) IOHIDDeviceSetProperty(inIOHIDDeviceRef, key, number);
    CFRelease(number);
}
} // namespace

Boolean HIDIsValidDevice(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return inIOHIDDeviceRef != nullptr && CFGetTypeID(inIOHIDDeviceRef) == IOHIDDeviceGetTypeID();
}

Boolean IOHIDDevice_GetLongProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef inKey, long* outValue)
{
    if (inIOHIDDeviceRef == nullptr)
        return false;
    HIDAssert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));
    return readLowHalf(IOHIDDeviceGetProperty(inIOHIDDeviceRef, inKey), outValue);
}

void IOHIDDevice_SetLongProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef inKey, long inValue)
{
    if (inIOHIDDeviceRef == nullptr)
        return;
    const auto value = static_cast<SInt32>(static_cast<UInt32>(inValue));
    const CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
    if (number == nullptr)
        return;
    (void) IOHIDDeviceSetProperty(inIOHIDDeviceRef, inKey, number);
    CFRelease(number);
}

//==============================================================================
CFStringRef IOHIDDevice_GetTransport(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<CFStringRef>(getObjectProperty(inIOHIDDeviceRef, CFSTR(kIOHIDTransportKey)));
}

CFStringRef IOHIDDevice_GetManufacturer(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<CFStringRef>(getObjectProperty(inIOHIDDeviceRef, CFSTR(kIOHIDManufacturerKey)));
}

CFStringRef IOHIDDevice_GetProduct(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<CFStringRef>(getObjectProperty(inIOHIDDeviceRef, CFSTR(kIOHIDProductKey)));
}

CFStringRef IOHIDDevice_GetSerialNumber(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<CFStringRef>(getObjectProperty(inIOHIDDeviceRef, CFSTR(kIOHIDSerialNumberKey)));
}

CFArrayRef IOHIDDevice_GetUsagePairs(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<CFArrayRef>(getObjectProperty(inIOHIDDeviceRef, CFSTR(kIOHIDDeviceUsagePairsKey)));
}

//==============================================================================
long IOHIDDevice_GetVendorID(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getLong(inIOHIDDeviceRef, CFSTR(kIOHIDVendorIDKey));
}

long IOHIDDevice_GetVendorIDSource(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getLong(inIOHIDDeviceRef, CFSTR(kIOHIDVendorIDSourceKey));
}

long IOHIDDevice_GetProductID(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getLong(inIOHIDDeviceRef, CFSTR(kIOHIDProductIDKey));
}

long IOHIDDevice_GetVersionNumber(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getLong(inIOHIDDeviceRef, CFSTR(kIOHIDVersionNumberKey));
}

long IOHIDDevice_GetCountryCode(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getLong(inIOHIDDeviceRef, CFSTR(kIOHIDCountryCodeKey));
}

long IOHIDDevice_GetLocationID(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getLong(inIOHIDDeviceRef, CFSTR(kIOHIDLocationIDKey));
}

long IOHIDDevice_GetMaxInputReportSize(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getLong(inIOHIDDeviceRef, CFSTR(kIOHIDMaxInputReportSizeKey));
}

long IOHIDDevice_GetMaxOutputReportSize(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getLong(inIOHIDDeviceRef, CFSTR(kIOHIDMaxOutputReportSizeKey));
}

long IOHIDDevice_GetMaxFeatureReportSize(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getLong(inIOHIDDeviceRef, CFSTR(kIOHIDMaxFeatureReportSizeKey));
}

long IOHIDDevice_GetReportInterval(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getLong(inIOHIDDeviceRef, CFSTR(kIOHIDReportIntervalKey));
}

//==============================================================================
uint32_t IOHIDDevice_GetUsage(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<uint32_t>(getLong(inIOHIDDeviceRef, CFSTR(kIOHIDDeviceUsageKey)));
}

uint32_t IOHIDDevice_GetUsagePage(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<uint32_t>(getLong(inIOHIDDeviceRef, CFSTR(kIOHIDDeviceUsagePageKey)));
}

uint32_t IOHIDDevice_GetPrimaryUsage(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<uint32_t>(getLong(inIOHIDDeviceRef, CFSTR(kIOHIDPrimaryUsageKey)));
}

uint32_t IOHIDDevice_GetPrimaryUsagePage(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<uint32_t>(getLong(inIOHIDDeviceRef, CFSTR(kIOHIDPrimaryUsagePageKey)));
}

//==============================================================================
IOHIDQueueRef IOHIDDevice_GetQueue(IOHIDDeviceRef inIOHIDDeviceRef)
{
    const long reference = getReferenceProperty(inIOHIDDeviceRef, CFSTR(kDeviceQueueRefKey));
    if (reference == 0)
        return nullptr;
    const auto result = reinterpret_cast<IOHIDQueueRef>(reference);
    HIDAssert(IOHIDQueueGetTypeID() == CFGetTypeID(result));
    return result;
}

void IOHIDDevice_SetQueue(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDQueueRef inQueueRef)
{
    setReferenceProperty(inIOHIDDeviceRef, CFSTR(kDeviceQueueRefKey), inQueueRef);
}

IOHIDTransactionRef IOHIDDevice_GetTransaction(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return reinterpret_cast<IOHIDTransactionRef>(getReferenceProperty(inIOHIDDeviceRef, CFSTR(kDeviceTransactionRefKey)));
}

void IOHIDDevice_SetTransaction(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDTransactionRef inTransactionRef)
{
    setReferenceProperty(inIOHIDDeviceRef, CFSTR(kDeviceTransactionRefKey), inTransactionRef);
}
