#include "IOHIDElement_.h"

#include <cmath>
#include <limits>

namespace
{
const long kMissingMinimum = 2147483647;
const long kMissingOther = -2147483647;

// Truncation toward zero that stays defined for any double: NaN gives 0 and
// values beyond the range of long give its extremes.
long truncatedToLong(double value)
{
    if (std::isnan(value))
        return 0;
    const double whole = std::trunc(value);
    if (whole <= static_cast<double>(std::numeric_limits<long>::min()))
        return std::numeric_limits<long>::min();
    if (whole >= static_cast<double>(std::numeric_limits<long>::max()))
        return std::numeric_limits<long>::max();
    return static_cast<long>(whole);
}

// A missing value is worked out once and stored, so later reads find it even
// after "Min" or "Max" changed.
long calibrationValue(IOHIDElementRef inIOHIDElementRef, CFStringRef key, CFStringRef fallbackKey, long missing)
{
    long value = 0;
    if (IOHIDElement_GetLongProperty(inIOHIDElementRef, key, &value))
        return value;
    if (!IOHIDElement_GetLongProperty(inIOHIDElementRef, fallbackKey, &value))
        value = missing;
    IOHIDElement_SetLongProperty(inIOHIDElementRef, key, value);
    return value;
}

long calibrationValueFromMin(IOHIDElementRef inIOHIDElementRef, CFStringRef key)
{
    return calibrationValue(inIOHIDElementRef, key, CFSTR(kIOHIDElementMinKey), kMissingOther);
}
} // namespace

Boolean HIDIsValidElement(IOHIDElementRef inIOHIDElementRef)
{
    return inIOHIDElementRef != nullptr && CFGetTypeID(inIOHIDElementRef) == IOHIDElementGetTypeID();
}

double IOHIDElement_GetValue(IOHIDElementRef inIOHIDElementRef, IOHIDValueScaleType inIOHIDValueScaleType)
{
    const IOHIDDeviceRef device = IOHIDElementGetDevice(inIOHIDElementRef);
    IOHIDValueRef value = nullptr;
    if (IOHIDDeviceGetValue(device, inIOHIDElementRef, &value) != kIOReturnSuccess)
        return 0.0;
    return static_cast<double>(truncatedToLong(IOHIDValueGetScaledValue(value, inIOHIDValueScaleType)));
}

//==============================================================================
Boolean IOHIDElement_GetLongProperty(IOHIDElementRef inIOHIDElementRef, CFStringRef inKey, long* outValue)
{
    const CFTypeRef property = IOHIDElementGetProperty(inIOHIDElementRef, inKey);
    if (property == nullptr || CFGetTypeID(property) != CFNumberGetTypeID())
        return false;
    SInt32 value = 0;
    const Boolean exact = CFNumberGetValue(static_cast<CFNumberRef>(property), kCFNumberSInt32Type, &value);
    *outValue = value;
    return exact;
}

void IOHIDElement_SetLongProperty(IOHIDElementRef inIOHIDElementRef, CFStringRef inKey, long inValue)
{
    // Element properties are 32-bit: a wider value keeps its low half only.
    const auto value = static_cast<SInt32>(static_cast<UInt32>(inValue));
    const CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
    if (number == nullptr)
        return;
    (void) IOHIDElementSetProperty(inIOHIDElementRef, inKey, number);
    CFRelease(number);
}

//==============================================================================
CFIndex IOHIDElement_GetCalibrationMin(IOHIDElementRef inIOHIDElementRef)
{
    return calibrationValue(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationMinKey), CFSTR(kIOHIDElementMaxKey),
                            kMissingMinimum);
}

void IOHIDElement_SetCalibrationMin(IOHIDElementRef inIOHIDElementRef, CFIndex inValue)
{
    IOHIDElement_SetLongProperty(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationMinKey), inValue);
}

CFIndex IOHIDElement_GetCalibrationMax(IOHIDElementRef inIOHIDElementRef)
{
    return calibrationValueFromMin(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationMaxKey));
}

void IOHIDElement_SetCalibrationMax(IOHIDElementRef inIOHIDElementRef, CFIndex inValue)
{
    IOHIDElement_SetLongProperty(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationMaxKey), inValue);
}

CFIndex IOHIDElement_GetCalibrationSaturationMin(IOHIDElementRef inIOHIDElementRef)
{
    return calibrationValueFromMin(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationSaturationMinKey));
}

void IOHIDElement_SetCalibrationSaturationMin(IOHIDElementRef inIOHIDElementRef, CFIndex inValue)
{
    IOHIDElement_SetLongProperty(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationSaturationMinKey), inValue);
}

CFIndex IOHIDElement_GetCalibrationSaturationMax(IOHIDElementRef inIOHIDElementRef)
{
    return calibrationValueFromMin(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationSaturationMaxKey));
}

void IOHIDElement_SetCalibrationSaturationMax(IOHIDElementRef inIOHIDElementRef, CFIndex inValue)
{
    IOHIDElement_SetLongProperty(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationSaturationMaxKey), inValue);
}

CFIndex IOHIDElement_GetCalibrationDeadZoneMin(IOHIDElementRef inIOHIDElementRef)
{
    return calibrationValueFromMin(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationDeadZoneMinKey));
}

void IOHIDElement_SetCalibrationDeadZoneMin(IOHIDElementRef inIOHIDElementRef, CFIndex inValue)
{
    IOHIDElement_SetLongProperty(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationDeadZoneMinKey), inValue);
}

CFIndex IOHIDElement_GetCalibrationDeadZoneMax(IOHIDElementRef inIOHIDElementRef)
{
    return calibrationValueFromMin(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationDeadZoneMaxKey));
}

void IOHIDElement_SetCalibrationDeadZoneMax(IOHIDElementRef inIOHIDElementRef, CFIndex inValue)
{
    IOHIDElement_SetLongProperty(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationDeadZoneMaxKey), inValue);
}

double IOHIDElement_GetCalibrationGranularity(IOHIDElementRef inIOHIDElementRef)
{
    const CFStringRef key = CFSTR(kIOHIDElementCalibrationGranularityKey);
    return static_cast<double>(calibrationValueFromMin(inIOHIDElementRef, key));
}

void IOHIDElement_SetCalibrationGranularity(IOHIDElementRef inIOHIDElementRef, double inValue)
{
    IOHIDElement_SetLongProperty(inIOHIDElementRef, CFSTR(kIOHIDElementCalibrationGranularityKey),
                                 truncatedToLong(inValue));
}

//==============================================================================
void IOHIDElement_SetupCalibration(IOHIDElementRef inIOHIDElementRef)
{
    IOHIDElement_SetCalibrationMin(inIOHIDElementRef, IOHIDElementGetLogicalMin(inIOHIDElementRef));
    IOHIDElement_SetCalibrationMax(inIOHIDElementRef, IOHIDElementGetLogicalMax(inIOHIDElementRef));
    IOHIDElement_SetCalibrationGranularity(inIOHIDElementRef, 0.0);
    IOHIDElement_SetCalibrationDeadZoneMin(inIOHIDElementRef, 0);
    IOHIDElement_SetCalibrationDeadZoneMax(inIOHIDElementRef, 0);
    // The saturation range starts empty, at the value the element has now.
    const long current = truncatedToLong(IOHIDElement_GetValue(inIOHIDElementRef, kIOHIDValueScaleTypePhysical));
    IOHIDElement_SetCalibrationSaturationMin(inIOHIDElementRef, current);
    IOHIDElement_SetCalibrationSaturationMax(inIOHIDElementRef, current);
}
