#include "IOKit/HIDDevice.h"
#include "IOKit/IOHIDElementList.h"
#include "IOKit/IOHIDElementObject.h"

#include <IOKit/hid/IOHIDElement.h>

namespace
{
const IOHIDElementObject& elementOf(IOHIDElementRef element, const char* function)
{
    return platform::checkedCast<IOHIDElementObject>(element, function);
}

const platform::HIDDescriptorElement& descriptionOf(IOHIDElementRef element, const char* function)
{
    return elementOf(element, function).description;
}
} // namespace

CFTypeID IOHIDElementGetTypeID(void)
{
    return IOHIDElementObject::typeID();
}

CFArrayRef IOHIDDeviceCopyMatchingElements(IOHIDDeviceRef device, CFDictionaryRef matching, IOOptionBits)
{
    auto* object = platform::deviceObject(device);
    if (object == nullptr)
        return nullptr;
    return platform::noThrow<CFArrayRef>(nullptr, [&] { return object->elements().copyMatching(matching).release(); });
}

//==============================================================================
IOHIDDeviceRef IOHIDElementGetDevice(IOHIDElementRef element)
{
    const auto list = elementOf(element, __func__).list.lock();
    return list != nullptr ? list->device() : nullptr;
}

IOHIDElementRef IOHIDElementGetParent(IOHIDElementRef element)
{
    return elementOf(element, __func__).parent.get();
}

IOHIDElementCookie IOHIDElementGetCookie(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).cookie;
}

IOHIDElementType IOHIDElementGetType(IOHIDElementRef element)
{
    return static_cast<IOHIDElementType>(descriptionOf(element, __func__).type);
}

IOHIDElementCollectionType IOHIDElementGetCollectionType(IOHIDElementRef element)
{
    return static_cast<IOHIDElementCollectionType>(descriptionOf(element, __func__).collectionType);
}

uint32_t IOHIDElementGetUsagePage(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).usagePage;
}

uint32_t IOHIDElementGetUsage(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).usage;
}

//==============================================================================
Boolean IOHIDElementIsVirtual(IOHIDElementRef element)
{
    elementOf(element, __func__);
    return false;
}

Boolean IOHIDElementIsRelative(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).isRelative;
}

Boolean IOHIDElementIsWrapping(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).isWrapping;
}

Boolean IOHIDElementIsArray(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).isArray;
}

Boolean IOHIDElementIsNonLinear(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).isNonLinear;
}

Boolean IOHIDElementHasPreferredState(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).hasPreferredState;
}

Boolean IOHIDElementHasNullState(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).hasNullState;
}

CFStringRef IOHIDElementGetName(IOHIDElementRef element)
{
    return elementOf(element, __func__).name.get();
}

//==============================================================================
uint32_t IOHIDElementGetReportID(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).reportID;
}

uint32_t IOHIDElementGetReportSize(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).reportSize;
}

uint32_t IOHIDElementGetReportCount(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).reportCount;
}

uint32_t IOHIDElementGetUnit(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).unit;
}

uint32_t IOHIDElementGetUnitExponent(IOHIDElementRef element)
{
    const int32_t exponent = descriptionOf(element, __func__).unitExponent;
    // The descriptor's own 4-bit form; an exponent beyond it, which a device
    // wrote as a whole byte, keeps its 32-bit two's complement.
    if (exponent >= -8 && exponent <= 7)
        return static_cast<uint32_t>(exponent) & 0xF;
    return static_cast<uint32_t>(exponent);
}

CFIndex IOHIDElementGetLogicalMin(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).logicalMin;
}

CFIndex IOHIDElementGetLogicalMax(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).logicalMax;
}

CFIndex IOHIDElementGetPhysicalMin(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).physicalMin;
}

CFIndex IOHIDElementGetPhysicalMax(IOHIDElementRef element)
{
    return descriptionOf(element, __func__).physicalMax;
}

//==============================================================================
CFTypeRef IOHIDElementGetProperty(IOHIDElementRef element, CFStringRef key)
{
    const auto& object = elementOf(element, __func__);
    return platform::noThrow<CFTypeRef>(nullptr, [&] { return object.property(key); });
}

Boolean IOHIDElementSetProperty(IOHIDElementRef element, CFStringRef key, CFTypeRef property)
{
    auto& object = platform::checkedCast<IOHIDElementObject>(element, __func__);
    return platform::noThrow<bool>(false, [&] { return object.setProperty(key, property); });
}
