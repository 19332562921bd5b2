#include "CoreFoundation/Object.h"

#include <IOKit/hid/IOHIDDevice.h>
#include <IOKit/hid/IOHIDQueue.h>

struct IOHIDQueueObject : platform::Object
{
    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("IOHIDQueue");
        return id;
    }

    IOHIDQueueObject(IOHIDDeviceRef queuedDevice, CFIndex queueDepth)
        : platform::Object(typeID()), device(queuedDevice), depth(queueDepth)
    {
        CFRetain(device);
    }

    ~IOHIDQueueObject() override { CFRelease(device); }

    const IOHIDDeviceRef device;
    const CFIndex depth;
};

namespace
{
IOHIDQueueObject& queueObject(IOHIDQueueRef queue, const char* function)
{
    return platform::checkedCast<IOHIDQueueObject>(queue, function);
}
} // namespace

CFTypeID IOHIDQueueGetTypeID(void)
{
    return IOHIDQueueObject::typeID();
}

IOHIDQueueRef IOHIDQueueCreate(CFAllocatorRef, IOHIDDeviceRef device, CFIndex depth, IOOptionBits)
{
    if (device == nullptr || CFGetTypeID(device) != IOHIDDeviceGetTypeID() || depth < 1)
        return nullptr;
    return platform::noThrow<IOHIDQueueRef>(nullptr, [&] {
        return platform::toRef<IOHIDQueueRef>(new IOHIDQueueObject(device, depth));
    });
}

IOHIDDeviceRef IOHIDQueueGetDevice(IOHIDQueueRef queue)
{
    return queueObject(queue, __func__).device;
}

CFIndex IOHIDQueueGetDepth(IOHIDQueueRef queue)
{
    return queueObject(queue, __func__).depth;
}
