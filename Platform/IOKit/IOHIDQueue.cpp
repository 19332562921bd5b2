#include "CoreFoundation/Object.h"
#include "IOKit/HIDDevice.h"
#include "IOKit/IOHIDQueueCollector.h"

#include <IOKit/hid/IOHIDDevice.h>
#include <IOKit/hid/IOHIDQueue.h>
#include <IOKit/hid/IOHIDValue.h>

#include <memory>

struct IOHIDQueueObject : platform::Object
{
    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("IOHIDQueue");
        return id;
    }

    IOHIDQueueObject(IOHIDDeviceRef queuedDevice, CFIndex queueDepth)
        : platform::Object(typeID()), device(platform::Retained<IOHIDDeviceRef>::retain(queuedDevice)),
          depth(queueDepth), collector(std::make_shared<platform::QueueCollector>(
                                 static_cast<size_t>(queueDepth), hidDevice().elements().reportsNumbered()))
    {
        hidDevice().addQueue(collector);
    }

    ~IOHIDQueueObject() override { hidDevice().removeQueue(collector.get()); }

    platform::HIDDevice& hidDevice() const { return *platform::deviceObject(device.get()); }

    const platform::Retained<IOHIDDeviceRef> device;
    const CFIndex depth;
    const std::shared_ptr<platform::QueueCollector> collector;
};

namespace
{
IOHIDQueueObject& queueObject(IOHIDQueueRef queue, const char* function)
{
    return platform::checkedCast<IOHIDQueueObject>(queue, function);
}

// The element's value as the device last took it in; 0 when it has none.
int64_t currentValue(IOHIDDeviceRef device, IOHIDElementRef element)
{
    IOHIDValueRef value = nullptr;
    if (IOHIDDeviceGetValue(device, element, &value) != kIOReturnSuccess || value == nullptr)
        return 0;
    return IOHIDValueGetIntegerValue(value);
}

bool belongsTo(const IOHIDQueueObject& queue, IOHIDElementRef element)
{
    return element != nullptr && CFGetTypeID(element) == IOHIDElementGetTypeID()
           && IOHIDElementGetDevice(element) == queue.device.get();
}
} // namespace

CFTypeID IOHIDQueueGetTypeID(void)
{
    return IOHIDQueueObject::typeID();
}

IOHIDQueueRef IOHIDQueueCreate(CFAllocatorRef, IOHIDDeviceRef device, CFIndex depth, IOOptionBits)
{
    if (platform::deviceObject(device) == nullptr || depth < 1)
        return nullptr;
    return platform::noThrow<IOHIDQueueRef>(nullptr, [&] {
        return platform::toRef<IOHIDQueueRef>(new IOHIDQueueObject(device, depth));
    });
}

IOHIDDeviceRef IOHIDQueueGetDevice(IOHIDQueueRef queue)
{
    return queueObject(queue, __func__).device.get();
}

CFIndex IOHIDQueueGetDepth(IOHIDQueueRef queue)
{
    return queueObject(queue, __func__).depth;
}

//==============================================================================
void IOHIDQueueAddElement(IOHIDQueueRef queue, IOHIDElementRef element)
{
    auto& object = queueObject(queue, __func__);
    if (!belongsTo(object, element))
        return;
    const int64_t current = currentValue(object.device.get(), element);
    platform::noThrowOrStop(__func__, [&] { object.collector->add(element, current); });
}

void IOHIDQueueRemoveElement(IOHIDQueueRef queue, IOHIDElementRef element)
{
    queueObject(queue, __func__).collector->remove(element);
}

Boolean IOHIDQueueContainsElement(IOHIDQueueRef queue, IOHIDElementRef element)
{
    return queueObject(queue, __func__).collector->contains(element);
}

//==============================================================================
void IOHIDQueueStart(IOHIDQueueRef queue)
{
    auto& object = queueObject(queue, __func__);
    const IOHIDDeviceRef device = object.device.get();
    object.collector->start([device](IOHIDElementRef element) { return currentValue(device, element); });
}

void IOHIDQueueStop(IOHIDQueueRef queue)
{
    queueObject(queue, __func__).collector->stop();
}

//==============================================================================
IOHIDValueRef IOHIDQueueCopyNextValue(IOHIDQueueRef queue)
{
    return IOHIDQueueCopyNextValueWithTimeout(queue, 0.0);
}

IOHIDValueRef IOHIDQueueCopyNextValueWithTimeout(IOHIDQueueRef queue, CFTimeInterval timeout)
{
    return queueObject(queue, __func__).collector->takeNext(timeout).release();
}
