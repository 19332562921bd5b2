#include "CoreFoundation/RunLoopObject.h"
#include "IOKit/HIDDevice.h"

#include <IOKit/hid/IOHIDDevice.h>

using platform::deviceObject;

CFTypeID IOHIDDeviceGetTypeID(void)
{
    return IOHIDDeviceObject::typeID();
}

IOReturn IOHIDDeviceOpen(IOHIDDeviceRef device, IOOptionBits)
{
    auto* object = deviceObject(device);
    if (object == nullptr)
        return kIOReturnBadArgument;
    return platform::noThrow<IOReturn>(kIOReturnNoMemory, [object] { return object->open(platform::DeviceOpener::client); });
}

IOReturn IOHIDDeviceClose(IOHIDDeviceRef device, IOOptionBits)
{
    auto* object = deviceObject(device);
    if (object == nullptr)
        return kIOReturnBadArgument;
    return platform::noThrow<IOReturn>(kIOReturnNoMemory, [object] { return object->close(platform::DeviceOpener::client); });
}

CFTypeRef IOHIDDeviceGetProperty(IOHIDDeviceRef device, CFStringRef key)
{
    auto* object = deviceObject(device);
    return object != nullptr ? object->property(key) : nullptr;
}

Boolean IOHIDDeviceSetProperty(IOHIDDeviceRef device, CFStringRef key, CFTypeRef property)
{
    auto* object = deviceObject(device);
    if (object == nullptr)
        return false;
    return platform::noThrow<bool>(false, [&] { return object->setProperty(key, property); });
}

void IOHIDDeviceScheduleWithRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef)
{
    auto* object = deviceObject(device);
    if (object != nullptr && platform::runLoopObject(runLoop) != nullptr)
        platform::noThrowOrStop(__func__, [&] { object->schedule(runLoop); });
}

void IOHIDDeviceUnscheduleFromRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef)
{
    if (auto* object = deviceObject(device))
        platform::noThrowOrStop(__func__, [&] { object->unschedule(runLoop); });
}

void IOHIDDeviceRegisterRemovalCallback(IOHIDDeviceRef device, IOHIDCallback callback, void* context)
{
    if (auto* object = deviceObject(device))
        platform::noThrowOrStop(__func__, [&] { object->setRemovalCallback(callback, context); });
}

void IOHIDDeviceRegisterInputReportCallback(IOHIDDeviceRef device, uint8_t* report, CFIndex reportLength,
                                            IOHIDReportCallback callback, void* context)
{
    if (auto* object = deviceObject(device))
        object->setInputReportCallback(report, reportLength, callback, context);
}

IOReturn IOHIDDeviceSetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID,
                              const uint8_t* report, CFIndex reportLength)
{
    auto* object = deviceObject(device);
    if (object == nullptr)
        return kIOReturnBadArgument;
    return platform::noThrow<IOReturn>(kIOReturnNoMemory,
                                       [&] { return object->setReport(reportType, reportID, report, reportLength); });
}

IOReturn IOHIDDeviceGetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID, uint8_t* report,
                              CFIndex* pReportLength)
{
    auto* object = deviceObject(device);
    if (object == nullptr)
        return kIOReturnBadArgument;
    return platform::noThrow<IOReturn>(kIOReturnNoMemory,
                                       [&] { return object->getReport(reportType, reportID, report, pReportLength); });
}
