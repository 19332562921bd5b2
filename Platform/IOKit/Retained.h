// An owning CF reference: retains on copy, releases on destruction.
#pragma once

#include <CoreFoundation/CFBase.h>

#include <utility>

namespace platform
{

template <typename Ref>
class Retained
{
public:
    Retained() = default;
    // Takes over a reference the caller owns (from a Create or Copy call).
    static Retained adopt(Ref ref) { return Retained(ref); }
    // Takes one more reference on a borrowed one.
    static Retained retain(Ref ref)
    {
        if (ref != nullptr)
            CFRetain(ref);
        return Retained(ref);
    }

    Retained(const Retained& other) : ref(other.ref) { if (ref != nullptr) CFRetain(ref); }
    Retained(Retained&& other) noexcept : ref(std::exchange(other.ref, nullptr)) {}
    Retained& operator=(Retained other) noexcept
    {
        std::swap(ref, other.ref);
        return *this;
    }
    ~Retained()
    {
        if (ref != nullptr)
            CFRelease(ref);
    }

    Ref get() const { return ref; }
    explicit operator bool() const { return ref != nullptr; }
    // Hands the reference over to a caller who will release it.
    Ref release() { return std::exchange(ref, nullptr); }

private:
    explicit Retained(Ref owned) : ref(owned) {}

    Ref ref = nullptr;
};

} // namespace platform
