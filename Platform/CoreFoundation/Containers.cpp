#include "CoreFoundation/Containers.h"

#include "CoreFoundation/Strings.h"

#include <cstdio>
#include <memory>

namespace platform
{

std::string ValueCallBacks::describe(const void* value) const
{
    if (copyDescription == nullptr)
    {
        char text[32];
        std::snprintf(text, sizeof text, "<%p>", value);
        return text;
    }
    CFStringRef description = copyDescription(value);
    if (description == nullptr)
        return "(null)";
    const std::unique_ptr<const void, decltype(&CFRelease)> owner(description, &CFRelease);
    return textOf(description);
}

const void* retainObject(CFAllocatorRef, const void* value)
{
    return CFRetain(value);
}

void releaseObject(CFAllocatorRef, const void* value)
{
    CFRelease(value);
}

Boolean equalObjects(const void* value1, const void* value2)
{
    return CFEqual(value1, value2);
}

CFHashCode hashObject(const void* value)
{
    return CFHash(value);
}

void Container::checkChangeable(const char* function) const
{
    if (!isMutable)
        fatal(function, "the container is immutable");
    if (walks > 0)
        fatal(function, "the container changed while an applier or comparator was walking it");
}

} // namespace platform
