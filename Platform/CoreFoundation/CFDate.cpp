#include <CoreFoundation/CFDate.h>

#include "CoreFoundation/Object.h"

#include <cstdio>
#include <functional>

struct CFDateObject final : platform::Object
{
    explicit CFDateObject(CFAbsoluteTime at) : Object(typeID()), time(at) {}

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFDate");
        return id;
    }

    bool equals(const Object& other) const override { return time == static_cast<const CFDateObject&>(other).time; }
    CFHashCode hash() const override { return std::hash<double> {}(time); }

    std::string describe() const override
    {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", time);
        return text;
    }

    const CFAbsoluteTime time;
};

CFTypeID CFDateGetTypeID(void)
{
    return CFDateObject::typeID();
}

CFDateRef CFDateCreate(CFAllocatorRef, CFAbsoluteTime at)
{
    return platform::noThrow<CFDateRef>(nullptr, [at] { return platform::toRef<CFDateRef>(new CFDateObject(at)); });
}

CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef theDate)
{
    return platform::checkedCast<CFDateObject>(theDate, "CFDateGetAbsoluteTime").time;
}
