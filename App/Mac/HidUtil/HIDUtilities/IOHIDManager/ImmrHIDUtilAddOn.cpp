#include "ImmrHIDUtilAddOn.h"

io_service_t AllocateHIDObjectFromIOHIDDeviceRef(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
        return 0;

    CFMutableDictionaryRef matching = IOServiceMatching(kIOHIDDeviceKey);
    if (matching == nullptr)
        return 0;

    const CFTypeRef location = IOHIDDeviceGetProperty(inIOHIDDeviceRef, CFSTR(kIOHIDLocationIDKey));
    if (location == nullptr)
    {
        CFRelease(matching);
        return 0;
    }
    CFDictionaryAddValue(matching, CFSTR(kIOHIDLocationIDKey), location);

    // Takes over the matching dictionary.
    return IOServiceGetMatchingService(kIOMasterPortDefault, matching);
}

bool FreeHIDObject(io_service_t inHIDObject)
{
    return IOObjectRelease(inHIDObject) == kIOReturnSuccess;
}
