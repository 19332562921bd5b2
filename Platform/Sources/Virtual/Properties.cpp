#include "IOKit/Retained.h"

#include <CoreFoundation/CoreFoundation.h>
#include <Platform/VirtualHID.h>

#include <climits>
#include <cstdint>

namespace platform::virtualhid
{

namespace
{
Retained<CFStringRef> makeString(const char* text)
{
    return Retained<CFStringRef>::adopt(CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8));
}

Retained<CFNumberRef> makeNumber(long long value)
{
    if (value >= INT32_MIN && value <= static_cast<long long>(UINT32_MAX))
    {
        // The registry keeps 32-bit properties as signed 32-bit numbers.
        const auto narrow = static_cast<int32_t>(static_cast<uint32_t>(value));
        return Retained<CFNumberRef>::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &narrow));
    }
    const int64_t wide = value;
    return Retained<CFNumberRef>::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &wide));
}

CFMutableDictionaryRef makeDictionary()
{
    return CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}
} // namespace

Properties::Properties() : properties(makeDictionary()) {}

Properties::~Properties()
{
    CFRelease(properties);
}

Properties& Properties::setNumber(const char* key, long long number)
{
    return setValue(key, makeNumber(number).get());
}

Properties& Properties::setString(const char* key, const char* text)
{
    return setValue(key, makeString(text).get());
}

Properties& Properties::setValue(const char* key, CFTypeRef value)
{
    auto name = makeString(key);
    if (name && value != nullptr)
        CFDictionarySetValue(properties, name.get(), value);
    return *this;
}

Properties& Properties::addUsagePair(uint32_t usagePage, uint32_t usage)
{
    auto key = makeString(kIOHIDDeviceUsagePairsKey);
    auto existing = CFDictionaryGetValue(properties, key.get());
    const bool extend = existing != nullptr && CFGetTypeID(existing) == CFArrayGetTypeID();
    auto pairs = Retained<CFMutableArrayRef>::adopt(
        extend ? CFArrayCreateMutableCopy(kCFAllocatorDefault, 0, static_cast<CFArrayRef>(existing))
               : CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    auto pair = Retained<CFMutableDictionaryRef>::adopt(makeDictionary());
    CFDictionarySetValue(pair.get(), makeString(kIOHIDDeviceUsagePageKey).get(), makeNumber(usagePage).get());
    CFDictionarySetValue(pair.get(), makeString(kIOHIDDeviceUsageKey).get(), makeNumber(usage).get());
    CFArrayAppendValue(pairs.get(), pair.get());
    CFDictionarySetValue(properties, key.get(), pairs.get());
    return *this;
}

} // namespace platform::virtualhid
