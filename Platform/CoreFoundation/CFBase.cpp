#include <CoreFoundation/CFBase.h>

#include "CoreFoundation/Encodings.h"
#include "CoreFoundation/Object.h"
#include "CoreFoundation/Strings.h"

// The layer allocates from the C++ heap alone; the named allocators only stand for it.
struct CFAllocatorObject final : platform::Object
{
    CFAllocatorObject() : Object(typeID(), platform::Lifetime::permanent) {}

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFAllocator");
        return id;
    }
};

namespace
{
CFAllocatorObject heapAllocator;

const platform::Object& objectOf(CFTypeRef object, const char* function)
{
    if (object == nullptr)
        platform::fatal(function, "null reference");
    return *platform::asObject(object);
}
} // namespace

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFAllocatorRef kCFAllocatorSystemDefault = &heapAllocator;
const CFAllocatorRef kCFAllocatorNull = &heapAllocator;

CFTypeRef CFRetain(CFTypeRef object)
{
    objectOf(object, "CFRetain").retain();
    return object;
}

void CFRelease(CFTypeRef object)
{
    const auto& counted = objectOf(object, "CFRelease");
    if (counted.release())
        delete &counted;
}

CFIndex CFGetRetainCount(CFTypeRef object)
{
    return objectOf(object, "CFGetRetainCount").retainCount();
}

CFTypeID CFGetTypeID(CFTypeRef object)
{
    return objectOf(object, "CFGetTypeID").getTypeID();
}

Boolean CFEqual(CFTypeRef object1, CFTypeRef object2)
{
    const auto& first = objectOf(object1, "CFEqual");
    const auto& second = objectOf(object2, "CFEqual");
    return &first == &second || (first.getTypeID() == second.getTypeID() && first.equals(second));
}

CFHashCode CFHash(CFTypeRef object)
{
    return objectOf(object, "CFHash").hash();
}

CFStringRef CFCopyDescription(CFTypeRef object)
{
    if (object == nullptr)
        return nullptr;
    return platform::noThrow<CFStringRef>(nullptr, [object]() -> CFStringRef {
        std::string text = platform::asObject(object)->describe();
        if (!platform::encodings::isValidUTF8(text))
            return nullptr;
        return platform::createString(std::move(text));
    });
}
