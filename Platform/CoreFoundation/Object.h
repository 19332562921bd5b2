// The object model behind every CoreFoundation reference of the layer.
//
// A CF reference is a pointer to a platform::Object subclass. The public opaque
// types (struct CFStringObject and its peers) are defined as such subclasses in
// the family's own source, and this header gives the checked conversions.
#pragma once

#include <CoreFoundation/CFBase.h>

#include <atomic>
#include <string>

namespace platform
{

// Counted objects die with their last reference; permanent ones (constant
// strings, the booleans) live as long as the process and ignore retain and release.
enum class Lifetime
{
    counted,
    permanent
};

class Object
{
public:
    explicit Object(CFTypeID type, Lifetime life = Lifetime::counted)
        : typeID(type), permanent(life == Lifetime::permanent)
    {
    }
    virtual ~Object() = default;

    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    CFTypeID getTypeID() const { return typeID; }

    void retain() const
    {
        if (!permanent)
            refCount.fetch_add(1, std::memory_order_relaxed);
    }
    // True when this call gave back the last reference.
    bool release() const { return !permanent && refCount.fetch_sub(1, std::memory_order_acq_rel) == 1; }
    CFIndex retainCount() const { return refCount.load(std::memory_order_relaxed); }

    // Objects of the same type only; identity unless a family compares contents.
    virtual bool equals(const Object& other) const { return this == &other; }
    virtual CFHashCode hash() const { return reinterpret_cast<CFHashCode>(this); }
    virtual std::string describe() const;

private:
    const CFTypeID typeID;
    const bool permanent;
    mutable std::atomic<CFIndex> refCount { 1 };
};

// A fresh, process-unique type identifier for a family, with a name for descriptions.
CFTypeID registerType(const char* name);
const char* typeName(CFTypeID type);

// Prints the failed contract and stops the program, in every build.
[[noreturn]] void fatal(const char* function, const char* message);

inline const Object* asObject(CFTypeRef ref)
{
    return static_cast<const Object*>(ref);
}

// The object behind ref if it is of family T (T::typeID() names it), else null.
template <typename T>
T* objectCast(CFTypeRef ref)
{
    if (ref == nullptr || asObject(ref)->getTypeID() != T::typeID())
        return nullptr;
    return static_cast<T*>(const_cast<Object*>(asObject(ref)));
}

// The object behind ref, which must be of family T: anything else is a caller's
// error that stops the program, naming the function.
template <typename T>
T& checkedCast(CFTypeRef ref, const char* function)
{
    if (auto* object = objectCast<T>(ref))
        return *object;
    fatal(function, ref == nullptr ? "null reference" : "reference of another type");
}

// Runs body for a C entry point that may fail with `failed`: no exception (an
// allocation failure above all) may cross into C callers.
template <typename Result, typename Body>
Result noThrow(Result failed, Body&& body) noexcept
{
    try
    {
        return body();
    }
    catch (...)
    {
        return failed;
    }
}

// Same, for entry points that cannot report failure: running out of memory there stops the program.
template <typename Body>
void noThrowOrStop(const char* function, Body&& body) noexcept
{
    try
    {
        body();
    }
    catch (...)
    {
        fatal(function, "out of memory");
    }
}

// Hands a new object to a C caller as its CF reference (reference count 1).
template <typename Ref, typename T>
Ref toRef(T* object)
{
    return reinterpret_cast<Ref>(object);
}

} // namespace platform
