#include "CoreFoundation/RunLoopObject.h"
#include "IOKit/HIDManager.h"

#include <IOKit/hid/IOHIDManager.h>

using platform::managerObject;

CFTypeID IOHIDManagerGetTypeID(void)
{
    return IOHIDManagerObject::typeID();
}

IOHIDManagerRef IOHIDManagerCreate(CFAllocatorRef, IOOptionBits)
{
    return platform::noThrow<IOHIDManagerRef>(nullptr, []
                                              { return new IOHIDManagerObject(platform::defaultDeviceSource()); });
}

IOReturn IOHIDManagerOpen(IOHIDManagerRef manager, IOOptionBits)
{
    auto* object = managerObject(manager);
    if (object == nullptr)
        return kIOReturnBadArgument;
    return platform::noThrow<IOReturn>(kIOReturnNoMemory, [object] { return object->open(); });
}

IOReturn IOHIDManagerClose(IOHIDManagerRef manager, IOOptionBits)
{
    auto* object = managerObject(manager);
    if (object == nullptr)
        return kIOReturnBadArgument;
    return platform::noThrow<IOReturn>(kIOReturnNoMemory, [object] { return object->close(); });
}

void IOHIDManagerSetDeviceMatching(IOHIDManagerRef manager, CFDictionaryRef matching)
{
    if (auto* object = managerObject(manager))
        platform::noThrowOrStop(__func__, [&] { object->setMatching(platform::DeviceMatching::fromDictionary(matching)); });
}

void IOHIDManagerSetDeviceMatchingMultiple(IOHIDManagerRef manager, CFArrayRef multiple)
{
    if (auto* object = managerObject(manager))
        platform::noThrowOrStop(__func__, [&] { object->setMatching(platform::DeviceMatching::fromArray(multiple)); });
}

CFSetRef IOHIDManagerCopyDevices(IOHIDManagerRef manager)
{
    auto* object = managerObject(manager);
    if (object == nullptr)
        return nullptr;
    return platform::noThrow<CFSetRef>(nullptr, [object] { return object->copyDevices(); });
}

void IOHIDManagerRegisterDeviceMatchingCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback, void* context)
{
    if (auto* object = managerObject(manager))
        object->setMatchingCallback(callback, context);
}

void IOHIDManagerRegisterDeviceRemovalCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback, void* context)
{
    if (auto* object = managerObject(manager))
        object->setRemovalCallback(callback, context);
}

void IOHIDManagerScheduleWithRunLoop(IOHIDManagerRef manager, CFRunLoopRef runLoop, CFStringRef)
{
    auto* object = managerObject(manager);
    if (object != nullptr && platform::runLoopObject(runLoop) != nullptr)
        platform::noThrowOrStop(__func__, [&] { object->schedule(runLoop); });
}

void IOHIDManagerUnscheduleFromRunLoop(IOHIDManagerRef manager, CFRunLoopRef runLoop, CFStringRef)
{
    if (auto* object = managerObject(manager))
        platform::noThrowOrStop(__func__, [&] { object->unschedule(runLoop); });
}
