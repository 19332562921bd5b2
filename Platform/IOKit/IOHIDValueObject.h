// The value object behind an IOHIDValueRef: fixed once made.
#pragma once

#include "CoreFoundation/Object.h"
#include "IOKit/Retained.h"

#include <IOKit/hid/IOHIDValue.h>

#include <ctime>

namespace platform
{
// The clock of value time stamps, in nanoseconds.
inline uint64_t valueClockNow()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}
} // namespace platform

struct IOHIDValueObject : platform::Object
{
    static CFTypeID typeID();

    IOHIDValueObject(IOHIDElementRef valueElement, uint64_t valueTimeStamp, CFIndex value)
        : Object(typeID()), element(platform::Retained<IOHIDElementRef>::retain(valueElement)),
          timeStamp(valueTimeStamp), integerValue(value)
    {
    }

    const platform::Retained<IOHIDElementRef> element;
    const uint64_t timeStamp;
    const CFIndex integerValue;
};
