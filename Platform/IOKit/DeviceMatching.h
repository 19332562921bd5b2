// Which devices a HID manager takes, from its matching dictionaries.
#pragma once

#include "IOKit/Retained.h"

#include <CoreFoundation/CoreFoundation.h>

#include <vector>

namespace platform
{

class DeviceMatching
{
public:
    // Matches nothing: a manager whose matching was never set.
    DeviceMatching() = default;

    // Null: every device; a dictionary: the devices it describes; any other object: none.
    static DeviceMatching fromDictionary(CFDictionaryRef matching);
    // Null: every device; else the devices any of its dictionaries describes.
    static DeviceMatching fromArray(CFArrayRef multiple);

    bool matches(CFDictionaryRef properties) const;

private:
    static bool dictionaryMatches(CFDictionaryRef criteria, CFDictionaryRef properties);
    static bool usageMatches(CFDictionaryRef criteria, CFDictionaryRef properties);

    bool everything = false;
    std::vector<Retained<CFDictionaryRef>> alternatives;
};

// True when properties hold every key of criteria with an equal value, skipping
// the keys for which skip(key) is true.
template <typename Skip>
bool holdsAll(CFDictionaryRef criteria, CFDictionaryRef properties, Skip skip)
{
    const CFIndex count = CFDictionaryGetCount(criteria);
    std::vector<const void*> keys(static_cast<size_t>(count));
    std::vector<const void*> values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(criteria, keys.data(), values.data());
    for (CFIndex i = 0; i < count; ++i)
    {
        if (skip(keys[i]))
            continue;
        const void* property = CFDictionaryGetValue(properties, keys[i]);
        if (property == nullptr || values[i] == nullptr || !CFEqual(property, values[i]))
            return false;
    }
    return true;
}

} // namespace platform
