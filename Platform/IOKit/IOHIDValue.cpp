#include "IOKit/HIDDevice.h"
#include "IOKit/IOHIDElementList.h"
#include "IOKit/IOHIDElementObject.h"
#include "IOKit/IOHIDValueObject.h"

#include <IOKit/hid/IOHIDValue.h>

#include <cmath>

namespace
{
const IOHIDValueObject& valueOf(IOHIDValueRef value, const char* function)
{
    return platform::checkedCast<IOHIDValueObject>(value, function);
}

double scaled(const IOHIDValueObject& value, IOHIDValueScaleType type)
{
    const auto& element = *platform::objectCast<IOHIDElementObject>(value.element.get());
    if (type == kIOHIDValueScaleTypeCalibrated)
        return platform::calibratedValue(value.integerValue, element.logicalRange(), element.calibration());
    const double physical =
        platform::physicalValue(value.integerValue, element.logicalRange(), element.physicalRange());
    if (type == kIOHIDValueScaleTypeExponent)
        return physical * std::pow(10.0, element.description.unitExponent);
    return physical;
}
} // namespace

CFTypeID IOHIDValueObject::typeID()
{
    static const CFTypeID id = platform::registerType("IOHIDValue");
    return id;
}

CFTypeID IOHIDValueGetTypeID(void)
{
    return IOHIDValueObject::typeID();
}

IOReturn IOHIDDeviceGetValue(IOHIDDeviceRef device, IOHIDElementRef element, IOHIDValueRef* pValue)
{
    auto* object = platform::deviceObject(device);
    if (object == nullptr)
        return kIOReturnBadArgument;
    return platform::noThrow<IOReturn>(kIOReturnNoMemory,
                                       [&] { return object->elements().latestValue(element, pValue); });
}

IOHIDValueRef IOHIDValueCreateWithIntegerValue(CFAllocatorRef, IOHIDElementRef element, uint64_t timeStamp,
                                               CFIndex value)
{
    if (platform::objectCast<IOHIDElementObject>(element) == nullptr)
        return nullptr;
    return platform::noThrow<IOHIDValueRef>(nullptr, [&] {
        return platform::toRef<IOHIDValueRef>(new IOHIDValueObject(element, timeStamp, value));
    });
}

IOHIDElementRef IOHIDValueGetElement(IOHIDValueRef value)
{
    return valueOf(value, __func__).element.get();
}

uint64_t IOHIDValueGetTimeStamp(IOHIDValueRef value)
{
    return valueOf(value, __func__).timeStamp;
}

CFIndex IOHIDValueGetIntegerValue(IOHIDValueRef value)
{
    return valueOf(value, __func__).integerValue;
}

double IOHIDValueGetScaledValue(IOHIDValueRef value, IOHIDValueScaleType type)
{
    const auto& object = valueOf(value, __func__);
    return platform::noThrow<double>(0.0, [&] { return scaled(object, type); });
}
