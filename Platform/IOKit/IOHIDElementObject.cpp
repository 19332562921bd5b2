#include "IOKit/IOHIDElementObject.h"

#include <CoreFoundation/CoreFoundation.h>

#include <vector>

using platform::Retained;

namespace
{
Retained<CFStringRef> nameOf(const platform::HIDDescriptorElement& element)
{
    if (element.name.empty())
        return {};
    return Retained<CFStringRef>::adopt(
        CFStringCreateWithCString(kCFAllocatorDefault, element.name.c_str(), kCFStringEncodingUTF8));
}

void setNumber(CFMutableDictionaryRef properties, CFStringRef key, int64_t value)
{
    auto number = Retained<CFNumberRef>::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value));
    if (number)
        CFDictionarySetValue(properties, key, number.get());
}

void setBoolean(CFMutableDictionaryRef properties, CFStringRef key, bool value)
{
    CFDictionarySetValue(properties, key, value ? kCFBooleanTrue : kCFBooleanFalse);
}

void fillDescriptorProperties(CFMutableDictionaryRef properties, const platform::HIDDescriptorElement& element)
{
    setNumber(properties, CFSTR(kIOHIDElementCookieKey), element.cookie);
    setNumber(properties, CFSTR(kIOHIDElementTypeKey), static_cast<int64_t>(element.type));
    if (element.type == platform::HIDElementType::collection)
        setNumber(properties, CFSTR(kIOHIDElementCollectionTypeKey), element.collectionType);
    setNumber(properties, CFSTR(kIOHIDElementUsagePageKey), element.usagePage);
    setNumber(properties, CFSTR(kIOHIDElementUsageKey), element.usage);
    setNumber(properties, CFSTR(kIOHIDElementMinKey), element.logicalMin);
    setNumber(properties, CFSTR(kIOHIDElementMaxKey), element.logicalMax);
    setNumber(properties, CFSTR(kIOHIDElementScaledMinKey), element.physicalMin);
    setNumber(properties, CFSTR(kIOHIDElementScaledMaxKey), element.physicalMax);
    setNumber(properties, CFSTR(kIOHIDElementReportIDKey), element.reportID);
    setNumber(properties, CFSTR(kIOHIDElementReportSizeKey), element.reportSize);
    setNumber(properties, CFSTR(kIOHIDElementReportCountKey), element.reportCount);
    setNumber(properties, CFSTR(kIOHIDElementUnitKey), element.unit);
    setNumber(properties, CFSTR(kIOHIDElementUnitExponentKey), element.unitExponent);
    setBoolean(properties, CFSTR(kIOHIDElementIsArrayKey), element.isArray);
    setBoolean(properties, CFSTR(kIOHIDElementIsRelativeKey), element.isRelative);
    setBoolean(properties, CFSTR(kIOHIDElementIsWrappingKey), element.isWrapping);
    setBoolean(properties, CFSTR(kIOHIDElementIsNonLinearKey), element.isNonLinear);
    setBoolean(properties, CFSTR(kIOHIDElementHasPreferredStateKey), element.hasPreferredState);
    setBoolean(properties, CFSTR(kIOHIDElementHasNullStateKey), element.hasNullState);
}
} // namespace

CFTypeID IOHIDElementObject::typeID()
{
    static const CFTypeID id = platform::registerType("IOHIDElement");
    return id;
}

IOHIDElementObject::IOHIDElementObject(const platform::HIDDescriptorElement& element, IOHIDElementRef parentElement,
                                       std::weak_ptr<platform::ElementList> elementList)
    : Object(typeID()), description(element), parent(Retained<IOHIDElementRef>::retain(parentElement)),
      list(std::move(elementList)), name(nameOf(element))
{
}

//==============================================================================
CFTypeRef IOHIDElementObject::property(CFStringRef key) const
{
    if (key == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> guard(lock);
    return CFDictionaryGetValue(propertiesLocked(), key);
}

bool IOHIDElementObject::setProperty(CFStringRef key, CFTypeRef value)
{
    if (key == nullptr || value == nullptr)
        return false;
    std::lock_guard<std::mutex> guard(lock);
    CFDictionarySetValue(propertiesLocked(), key, value);
    return true;
}

bool IOHIDElementObject::matches(CFDictionaryRef matching) const
{
    const auto count = static_cast<size_t>(CFDictionaryGetCount(matching));
    std::vector<const void*> keys(count), values(count);
    CFDictionaryGetKeysAndValues(matching, keys.data(), values.data());

    std::lock_guard<std::mutex> guard(lock);
    for (size_t i = 0; i < count; ++i)
    {
        const void* own = CFDictionaryGetValue(propertiesLocked(), keys[i]);
        if (own == nullptr || !CFEqual(own, values[i]))
            return false;
    }
    return true;
}

CFMutableDictionaryRef IOHIDElementObject::propertiesLocked() const
{
    if (!properties)
    {
        auto made = Retained<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
        if (!made)
            throw std::bad_alloc();
        fillDescriptorProperties(made.get(), description);
        if (name)
            CFDictionarySetValue(made.get(), CFSTR(kIOHIDElementNameKey), name.get());
        properties = std::move(made);
    }
    return properties.get();
}

//==============================================================================
platform::ValueRange IOHIDElementObject::logicalRange() const
{
    return { static_cast<double>(description.logicalMin), static_cast<double>(description.logicalMax) };
}

platform::ValueRange IOHIDElementObject::physicalRange() const
{
    return { static_cast<double>(description.physicalMin), static_cast<double>(description.physicalMax) };
}

platform::Calibration IOHIDElementObject::calibration() const
{
    std::lock_guard<std::mutex> guard(lock);
    platform::Calibration result;
    if (const auto target = rangeLocked(CFSTR(kIOHIDElementCalibrationMinKey), CFSTR(kIOHIDElementCalibrationMaxKey)))
        result.target = *target;
    result.saturation = rangeLocked(CFSTR(kIOHIDElementCalibrationSaturationMinKey),
                                    CFSTR(kIOHIDElementCalibrationSaturationMaxKey));
    result.deadZone = rangeLocked(CFSTR(kIOHIDElementCalibrationDeadZoneMinKey),
                                  CFSTR(kIOHIDElementCalibrationDeadZoneMaxKey));
    result.granularity = numberLocked(CFSTR(kIOHIDElementCalibrationGranularityKey)).value_or(0);
    return result;
}

std::optional<double> IOHIDElementObject::numberLocked(CFStringRef key) const
{
    if (!properties)
        return std::nullopt;
    const void* value = CFDictionaryGetValue(properties.get(), key);
    double number = 0;
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID()
        || !CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, &number))
        return std::nullopt;
    return number;
}

std::optional<platform::ValueRange> IOHIDElementObject::rangeLocked(CFStringRef minimumKey,
                                                                    CFStringRef maximumKey) const
{
    const auto minimum = numberLocked(minimumKey);
    const auto maximum = numberLocked(maximumKey);
    if (!minimum || !maximum)
        return std::nullopt;
    return platform::ValueRange { *minimum, *maximum };
}
