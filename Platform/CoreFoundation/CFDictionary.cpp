#include <CoreFoundation/CFDictionary.h>

#include <CoreFoundation/CFString.h>

#include "CoreFoundation/Containers.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

using platform::ValueCallBacks;

namespace
{
// Keys that cannot change behind the dictionary's back: an immutable string is
// kept as it is, a mutable one is copied.
const void* copyStringKey(CFAllocatorRef allocator, const void* key)
{
    const void* copy = CFStringCreateCopy(allocator, static_cast<CFStringRef>(key));
    if (copy == nullptr)
        platform::fatal("kCFCopyStringDictionaryKeyCallBacks", "out of memory");
    return copy;
}
} // namespace

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = { 0, platform::retainObject, platform::releaseObject,
                                                                 CFCopyDescription, platform::equalObjects,
                                                                 platform::hashObject };
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = { 0, copyStringKey, platform::releaseObject,
                                                                       CFCopyDescription, platform::equalObjects,
                                                                       platform::hashObject };
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = { 0, platform::retainObject,
                                                                     platform::releaseObject, CFCopyDescription,
                                                                     platform::equalObjects };

struct CFDictionaryObject final : platform::Container
{
    using Entries = std::unordered_map<const void*, const void*, platform::HashByCallBacks, platform::EqualByCallBacks>;

    CFDictionaryObject(const ValueCallBacks& keyBehaviour, const ValueCallBacks& valueBehaviour,
                       bool isMutableDictionary)
        : Container(typeID(), isMutableDictionary), keyCallBacks(keyBehaviour), valueCallBacks(valueBehaviour),
          entries(0, platform::HashByCallBacks { keyCallBacks }, platform::EqualByCallBacks { keyCallBacks })
    {
    }

    ~CFDictionaryObject() override { removeAll(); }

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFDictionary");
        return id;
    }

    bool equals(const Object& other) const override
    {
        const auto& dictionary = static_cast<const CFDictionaryObject&>(other);
        return entries.size() == dictionary.entries.size()
               && std::all_of(entries.begin(), entries.end(), [this, &dictionary](const auto& entry) {
                      const auto found = dictionary.entries.find(entry.first);
                      return found != dictionary.entries.end() && valueCallBacks.same(entry.second, found->second);
                  });
    }

    CFHashCode hash() const override { return entries.size(); }

    std::string describe() const override
    {
        std::string text = "{";
        for (const auto& [key, value] : entries)
            text += keyCallBacks.describe(key) + " = " + valueCallBacks.describe(value) + "; ";
        return text + "}";
    }

    void set(const void* key, const void* value, bool replace)
    {
        const auto found = entries.find(key);
        if (found == entries.end())
            add(key, value);
        else if (replace)
            replaceValue(found->second, value);
    }

    void remove(const void* key)
    {
        const auto found = entries.find(key);
        if (found == entries.end())
            return;
        const auto [removedKey, removedValue] = *found;
        entries.erase(found);
        keyCallBacks.released(removedKey);
        valueCallBacks.released(removedValue);
    }

    void removeAll()
    {
        // Emptied first: a release callback must not find entries already given back.
        Entries removed(0, entries.hash_function(), entries.key_eq());
        removed.swap(entries);
        for (const auto& [key, value] : removed)
        {
            keyCallBacks.released(key);
            valueCallBacks.released(value);
        }
    }

    const ValueCallBacks keyCallBacks;
    const ValueCallBacks valueCallBacks;
    Entries entries;

private:
    void add(const void* key, const void* value)
    {
        platform::keepValue(keyCallBacks, key, [&](const void* keptKey) {
            platform::keepValue(valueCallBacks, value,
                                [&](const void* keptValue) { entries.emplace(keptKey, keptValue); });
        });
    }

    void replaceValue(const void*& slot, const void* value)
    {
        // Retained before the old one goes: they may be the same object.
        const void* previous = slot;
        slot = valueCallBacks.retained(value);
        valueCallBacks.released(previous);
    }
};

namespace
{
const CFDictionaryObject& dictionaryOf(CFDictionaryRef dictionary, const char* function)
{
    return platform::checkedCast<CFDictionaryObject>(dictionary, function);
}

CFDictionaryObject& changeableDictionaryOf(CFMutableDictionaryRef dictionary, const char* function)
{
    auto& object = platform::checkedCast<CFDictionaryObject>(dictionary, function);
    object.checkChangeable(function);
    return object;
}

CFDictionaryObject* copyDictionary(const CFDictionaryObject& original, bool isMutable)
{
    auto copy = std::make_unique<CFDictionaryObject>(original.keyCallBacks, original.valueCallBacks, isMutable);
    for (const auto& [key, value] : original.entries)
        copy->set(key, value, true);
    return copy.release();
}
} // namespace

CFTypeID CFDictionaryGetTypeID(void)
{
    return CFDictionaryObject::typeID();
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const void** keys, const void** values, CFIndex numValues,
                                   const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks)
{
    if (numValues < 0 || ((keys == nullptr || values == nullptr) && numValues > 0))
        return nullptr;
    return platform::noThrow<CFDictionaryRef>(nullptr, [&] {
        auto dictionary = std::make_unique<CFDictionaryObject>(platform::valueCallBacksFrom(keyCallBacks),
                                                               platform::valueCallBacksFrom(valueCallBacks), false);
        for (CFIndex i = 0; i < numValues; ++i)
            dictionary->set(keys[i], values[i], true);
        return platform::toRef<CFDictionaryRef>(dictionary.release());
    });
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
    return platform::noThrow<CFMutableDictionaryRef>(nullptr, [&] {
        return platform::toRef<CFMutableDictionaryRef>(new CFDictionaryObject(
            platform::valueCallBacksFrom(keyCallBacks), platform::valueCallBacksFrom(valueCallBacks), true));
    });
}

CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef, CFDictionaryRef theDict)
{
    const auto& dictionary = dictionaryOf(theDict, "CFDictionaryCreateCopy");
    return platform::noThrow<CFDictionaryRef>(nullptr, [&] {
        return platform::toRef<CFDictionaryRef>(copyDictionary(dictionary, false));
    });
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef, CFIndex, CFDictionaryRef theDict)
{
    const auto& dictionary = dictionaryOf(theDict, "CFDictionaryCreateMutableCopy");
    return platform::noThrow<CFMutableDictionaryRef>(nullptr, [&] {
        return platform::toRef<CFMutableDictionaryRef>(copyDictionary(dictionary, true));
    });
}

//==============================================================================
CFIndex CFDictionaryGetCount(CFDictionaryRef theDict)
{
    return static_cast<CFIndex>(dictionaryOf(theDict, "CFDictionaryGetCount").entries.size());
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key)
{
    return dictionaryOf(theDict, "CFDictionaryContainsKey").entries.count(key) > 0;
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key)
{
    const void* value = nullptr;
    CFDictionaryGetValueIfPresent(theDict, key, &value);
    return value;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key, const void** value)
{
    const auto& entries = dictionaryOf(theDict, "CFDictionaryGetValueIfPresent").entries;
    const auto found = entries.find(key);
    if (found == entries.end())
        return false;
    if (value != nullptr)
        *value = found->second;
    return true;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values)
{
    for (const auto& [key, value] : dictionaryOf(theDict, "CFDictionaryGetKeysAndValues").entries)
    {
        if (keys != nullptr)
            *keys++ = key;
        if (values != nullptr)
            *values++ = value;
    }
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier, void* context)
{
    const auto& dictionary = dictionaryOf(theDict, "CFDictionaryApplyFunction");
    if (applier == nullptr)
        platform::fatal("CFDictionaryApplyFunction", "null applier");
    const platform::Container::Walk walk(dictionary);
    for (const auto& [key, value] : dictionary.entries)
        applier(key, value, context);
}

//==============================================================================
void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
    auto& dictionary = changeableDictionaryOf(theDict, "CFDictionarySetValue");
    platform::noThrowOrStop("CFDictionarySetValue", [&] { dictionary.set(key, value, true); });
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
    auto& dictionary = changeableDictionaryOf(theDict, "CFDictionaryAddValue");
    platform::noThrowOrStop("CFDictionaryAddValue", [&] { dictionary.set(key, value, false); });
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key)
{
    changeableDictionaryOf(theDict, "CFDictionaryRemoveValue").remove(key);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict)
{
    changeableDictionaryOf(theDict, "CFDictionaryRemoveAllValues").removeAll();
}
