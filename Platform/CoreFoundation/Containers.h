// What the array, set and dictionary families share: the callbacks through
// which they keep their values, and their guard against misuse.
#pragma once

#include "CoreFoundation/Object.h"

#include <string>
#include <type_traits>
#include <utility>

namespace platform
{

// A family's callback struct reduced to one shape; null members mean raw
// pointers: no retain or release, identity, the address as hash and as text.
struct ValueCallBacks
{
    const void* (*retain)(CFAllocatorRef, const void*) = nullptr;
    void (*release)(CFAllocatorRef, const void*) = nullptr;
    CFStringRef (*copyDescription)(const void*) = nullptr;
    Boolean (*equal)(const void*, const void*) = nullptr;
    CFHashCode (*hash)(const void*) = nullptr;

    // What the container stores for value (for copying callbacks, another object).
    const void* retained(const void* value) const { return retain == nullptr ? value : retain(nullptr, value); }
    void released(const void* value) const
    {
        if (release != nullptr)
            release(nullptr, value);
    }
    bool same(const void* a, const void* b) const { return a == b || (equal != nullptr && equal(a, b)); }
    CFHashCode hashOf(const void* value) const
    {
        return hash == nullptr ? reinterpret_cast<CFHashCode>(value) : hash(value);
    }
    std::string describe(const void* value) const;
};

template <typename CallBacks, typename = void>
struct HasHashCallBack : std::false_type
{
};

template <typename CallBacks>
struct HasHashCallBack<CallBacks, std::void_t<decltype(std::declval<CallBacks>().hash)>> : std::true_type
{
};

template <typename CallBacks>
ValueCallBacks valueCallBacksFrom(const CallBacks* given)
{
    ValueCallBacks result;
    if (given == nullptr)
        return result;
    result.retain = given->retain;
    result.release = given->release;
    result.copyDescription = given->copyDescription;
    result.equal = given->equal;
    if constexpr (HasHashCallBack<CallBacks>::value)
        result.hash = given->hash;
    return result;
}

// Hash and equality of the standard unordered containers, by a family's callbacks.
struct HashByCallBacks
{
    ValueCallBacks callBacks;
    size_t operator()(const void* value) const { return callBacks.hashOf(value); }
};

struct EqualByCallBacks
{
    ValueCallBacks callBacks;
    bool operator()(const void* a, const void* b) const { return callBacks.same(a, b); }
};

// Retains value through callBacks and hands what is to be kept to store; if
// store throws, the reference is given back before the exception goes on.
template <typename Store>
void keepValue(const ValueCallBacks& callBacks, const void* value, Store&& store)
{
    const void* kept = callBacks.retained(value);
    try
    {
        store(kept);
    }
    catch (...)
    {
        callBacks.released(kept);
        throw;
    }
}

// The callbacks behind kCFTypeArrayCallBacks and its peers.
const void* retainObject(CFAllocatorRef allocator, const void* value);
void releaseObject(CFAllocatorRef allocator, const void* value);
Boolean equalObjects(const void* value1, const void* value2);
CFHashCode hashObject(const void* value);

// A container object: immutable ones refuse every change, and none may change
// while an applier or comparator walks it (the walk would go astray).
class Container : public Object
{
public:
    Container(CFTypeID type, bool isMutableContainer) : Object(type), isMutable(isMutableContainer) {}

    // Stops the program unless the container may change now.
    void checkChangeable(const char* function) const;

    class Walk
    {
    public:
        explicit Walk(const Container& walked) : container(walked) { ++container.walks; }
        ~Walk() { --container.walks; }
        Walk(const Walk&) = delete;
        Walk& operator=(const Walk&) = delete;

    private:
        const Container& container;
    };

    const bool isMutable;

private:
    mutable int walks = 0;
};

} // namespace platform
