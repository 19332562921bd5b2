#include <CoreFoundation/CFSet.h>

#include "CoreFoundation/Containers.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

using platform::ValueCallBacks;

const CFSetCallBacks kCFTypeSetCallBacks = { 0, platform::retainObject, platform::releaseObject, CFCopyDescription,
                                             platform::equalObjects, platform::hashObject };

struct CFSetObject final : platform::Container
{
    using Values = std::unordered_set<const void*, platform::HashByCallBacks, platform::EqualByCallBacks>;

    CFSetObject(const ValueCallBacks& valueCallBacks, bool isMutableSet)
        : Container(typeID(), isMutableSet), callBacks(valueCallBacks),
          values(0, platform::HashByCallBacks { callBacks }, platform::EqualByCallBacks { callBacks })
    {
    }

    ~CFSetObject() override
    {
        for (const void* value : values)
            callBacks.released(value);
    }

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFSet");
        return id;
    }

    bool equals(const Object& other) const override
    {
        const auto& set = static_cast<const CFSetObject&>(other);
        return values.size() == set.values.size()
               && std::all_of(values.begin(), values.end(),
                              [&set](const void* value) { return set.values.count(value) > 0; });
    }

    CFHashCode hash() const override { return values.size(); }

    std::string describe() const override
    {
        std::string text = "{(";
        for (const void* value : values)
            text += (text.size() > 2 ? ", " : "") + callBacks.describe(value);
        return text + ")}";
    }

    void add(const void* value)
    {
        if (values.count(value) == 0)
            platform::keepValue(callBacks, value, [this](const void* kept) { values.insert(kept); });
    }

    void remove(const void* value)
    {
        const auto found = values.find(value);
        if (found == values.end())
            return;
        const void* removed = *found;
        values.erase(found);
        callBacks.released(removed);
    }

    const ValueCallBacks callBacks;
    Values values;
};

namespace
{
const CFSetObject& setOf(CFSetRef set, const char* function)
{
    return platform::checkedCast<CFSetObject>(set, function);
}

CFSetObject& changeableSetOf(CFMutableSetRef set, const char* function)
{
    auto& object = platform::checkedCast<CFSetObject>(set, function);
    object.checkChangeable(function);
    return object;
}
} // namespace

CFTypeID CFSetGetTypeID(void)
{
    return CFSetObject::typeID();
}

CFSetRef CFSetCreate(CFAllocatorRef, const void** values, CFIndex numValues, const CFSetCallBacks* callBacks)
{
    if (numValues < 0 || (values == nullptr && numValues > 0))
        return nullptr;
    return platform::noThrow<CFSetRef>(nullptr, [&] {
        auto set = std::make_unique<CFSetObject>(platform::valueCallBacksFrom(callBacks), false);
        std::for_each(values, values + numValues, [&set](const void* value) { set->add(value); });
        return platform::toRef<CFSetRef>(set.release());
    });
}

CFMutableSetRef CFSetCreateMutable(CFAllocatorRef, CFIndex, const CFSetCallBacks* callBacks)
{
    return platform::noThrow<CFMutableSetRef>(nullptr, [&] {
        return platform::toRef<CFMutableSetRef>(new CFSetObject(platform::valueCallBacksFrom(callBacks), true));
    });
}

//==============================================================================
CFIndex CFSetGetCount(CFSetRef theSet)
{
    return static_cast<CFIndex>(setOf(theSet, "CFSetGetCount").values.size());
}

Boolean CFSetContainsValue(CFSetRef theSet, const void* value)
{
    return setOf(theSet, "CFSetContainsValue").values.count(value) > 0;
}

void CFSetGetValues(CFSetRef theSet, const void** values)
{
    const auto& set = setOf(theSet, "CFSetGetValues");
    if (values == nullptr && !set.values.empty())
        platform::fatal("CFSetGetValues", "null buffer");
    std::copy(set.values.begin(), set.values.end(), values);
}

void CFSetApplyFunction(CFSetRef theSet, CFSetApplierFunction applier, void* context)
{
    const auto& set = setOf(theSet, "CFSetApplyFunction");
    if (applier == nullptr)
        platform::fatal("CFSetApplyFunction", "null applier");
    const platform::Container::Walk walk(set);
    for (const void* value : set.values)
        applier(value, context);
}

//==============================================================================
void CFSetAddValue(CFMutableSetRef theSet, const void* value)
{
    auto& set = changeableSetOf(theSet, "CFSetAddValue");
    platform::noThrowOrStop("CFSetAddValue", [&] { set.add(value); });
}

void CFSetRemoveValue(CFMutableSetRef theSet, const void* value)
{
    changeableSetOf(theSet, "CFSetRemoveValue").remove(value);
}
