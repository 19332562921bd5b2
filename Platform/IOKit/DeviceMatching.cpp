#include "IOKit/DeviceMatching.h"

#include <IOKit/hid/IOHIDKeys.h>

namespace platform
{

namespace
{
bool isDictionary(CFTypeRef object)
{
    return object != nullptr && CFGetTypeID(object) == CFDictionaryGetTypeID();
}

bool isUsageKey(const void* key)
{
    return CFEqual(key, CFSTR(kIOHIDDeviceUsagePageKey)) || CFEqual(key, CFSTR(kIOHIDDeviceUsageKey));
}

// A missing criterion takes any value.
bool sameOrUnasked(CFTypeRef wanted, CFTypeRef actual)
{
    return wanted == nullptr || (actual != nullptr && CFEqual(wanted, actual));
}

bool pairMatches(CFTypeRef page, CFTypeRef usage, CFTypeRef pair)
{
    if (!isDictionary(pair))
        return false;
    auto pairDictionary = static_cast<CFDictionaryRef>(pair);
    return sameOrUnasked(page, CFDictionaryGetValue(pairDictionary, CFSTR(kIOHIDDeviceUsagePageKey)))
        && sameOrUnasked(usage, CFDictionaryGetValue(pairDictionary, CFSTR(kIOHIDDeviceUsageKey)));
}
} // namespace

DeviceMatching DeviceMatching::fromDictionary(CFDictionaryRef matching)
{
    DeviceMatching result;
    result.everything = matching == nullptr;
    if (isDictionary(matching))
        result.alternatives.push_back(Retained<CFDictionaryRef>::adopt(CFDictionaryCreateCopy(kCFAllocatorDefault, matching)));
    return result;
}

DeviceMatching DeviceMatching::fromArray(CFArrayRef multiple)
{
    if (multiple == nullptr)
        return fromDictionary(nullptr);
    DeviceMatching result;
    if (CFGetTypeID(multiple) != CFArrayGetTypeID())
        return result;
    for (CFIndex i = 0; i < CFArrayGetCount(multiple); ++i)
    {
        auto candidate = CFArrayGetValueAtIndex(multiple, i);
        if (isDictionary(candidate))
            result.alternatives.push_back(Retained<CFDictionaryRef>::adopt(
                CFDictionaryCreateCopy(kCFAllocatorDefault, static_cast<CFDictionaryRef>(candidate))));
    }
    return result;
}

bool DeviceMatching::matches(CFDictionaryRef properties) const
{
    if (everything)
        return true;
    for (const auto& criteria : alternatives)
        if (dictionaryMatches(criteria.get(), properties))
            return true;
    return false;
}

bool DeviceMatching::dictionaryMatches(CFDictionaryRef criteria, CFDictionaryRef properties)
{
    return holdsAll(criteria, properties, isUsageKey) && usageMatches(criteria, properties);
}

// As HID managers do, a usage asked for may be any of the device's top-level
// usages, not only its primary one. A device that lists no pairs is judged by
// its own "DeviceUsagePage" and "DeviceUsage".
bool DeviceMatching::usageMatches(CFDictionaryRef criteria, CFDictionaryRef properties)
{
    auto page = CFDictionaryGetValue(criteria, CFSTR(kIOHIDDeviceUsagePageKey));
    auto usage = CFDictionaryGetValue(criteria, CFSTR(kIOHIDDeviceUsageKey));
    if (page == nullptr && usage == nullptr)
        return true;
    auto pairs = CFDictionaryGetValue(properties, CFSTR(kIOHIDDeviceUsagePairsKey));
    if (pairs == nullptr || CFGetTypeID(pairs) != CFArrayGetTypeID())
        return pairMatches(page, usage, properties);
    auto pairArray = static_cast<CFArrayRef>(pairs);
    for (CFIndex i = 0; i < CFArrayGetCount(pairArray); ++i)
        if (pairMatches(page, usage, CFArrayGetValueAtIndex(pairArray, i)))
            return true;
    return false;
}

} // namespace platform
