#include "IOKit/HIDDevice.h"

#include "CoreFoundation/RunLoopObject.h"
#include "IOKit/HIDReportDescriptor.h"
#include "IOKit/IOHIDQueueCollector.h"
#include "IOKit/IOHIDValueInputThread.h"

#include <algorithm>
#include <cstring>

namespace platform
{

namespace
{
std::shared_ptr<ElementList> makeElementList(const SourceDevice& source, IOHIDDeviceRef owner)
{
    const auto descriptor = source.reportDescriptor();
    return std::make_shared<ElementList>(HIDReportDescriptor::parse(descriptor.data(), descriptor.size()), owner);
}

// Input goes where callbacks are due; while none is, the layer's own thread
// takes it in, so that the element values stay current.
CFRunLoopRef inputRunLoop(const Retained<CFRunLoopRef>& scheduled)
{
    return scheduled ? scheduled.get() : valueInputRunLoop();
}

bool isValidReportID(CFIndex reportID)
{
    return reportID >= 0 && reportID <= 0xff;
}

bool isValidReportType(IOHIDReportType type)
{
    return type >= kIOHIDReportTypeInput && type < kIOHIDReportTypeCount;
}
} // namespace

Retained<IOHIDDeviceRef> createDeviceObject(std::shared_ptr<SourceDevice> source)
{
    return Retained<IOHIDDeviceRef>::adopt(new IOHIDDeviceObject(std::move(source)));
}

HIDDevice* deviceObject(IOHIDDeviceRef device)
{
    auto* object = objectCast<IOHIDDeviceObject>(device);
    return object != nullptr ? object->device.get() : nullptr;
}

HIDDevice::HIDDevice(IOHIDDeviceRef ownerObject, std::shared_ptr<SourceDevice> source)
    : sourceDevice(std::move(source)),
      elementList(makeElementList(*sourceDevice, ownerObject)),
      reportsNumbered(elementList->reportsNumbered()),
      owner(ownerObject),
      properties(Retained<CFMutableDictionaryRef>::adopt(
          CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, sourceDevice->properties())))
{
}

//==============================================================================
CFTypeRef HIDDevice::property(CFStringRef key) const
{
    if (key == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> guard(stateLock);
    return CFDictionaryGetValue(properties.get(), key);
}

bool HIDDevice::setProperty(CFStringRef key, CFTypeRef value)
{
    if (key == nullptr || value == nullptr)
        return false;
    std::lock_guard<std::mutex> guard(stateLock);
    CFDictionarySetValue(properties.get(), key, value);
    return true;
}

//==============================================================================
IOReturn HIDDevice::open(DeviceOpener opener)
{
    std::lock_guard<std::mutex> transition(transitionLock);
    Retained<CFRunLoopRef> deliverOn;
    std::shared_ptr<DeviceChannel> opened;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (removed)
            return kIOReturnNoDevice;
        if (channel != nullptr)
        {
            openFlag(opener) = true;
            return kIOReturnSuccess;
        }
    }
    IOReturn result = kIOReturnSuccess;
    opened = sourceDevice->open(result);
    if (opened == nullptr)
        return result != kIOReturnSuccess ? result : kIOReturnError;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        channel = opened;
        openFlag(opener) = true;
        deliverOn = runLoop;
    }
    opened->startInput(inputRunLoop(deliverOn), inputHandler());
    return kIOReturnSuccess;
}

IOReturn HIDDevice::close(DeviceOpener opener)
{
    std::lock_guard<std::mutex> transition(transitionLock);
    std::shared_ptr<DeviceChannel> closing;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (!openFlag(opener))
            return kIOReturnNotOpen;
        openFlag(opener) = false;
        if (!openedByClient && !openedByManager)
            closing = std::move(channel);
    }
    if (closing != nullptr)
        closing->stopInput();
    return kIOReturnSuccess;
}

bool& HIDDevice::openFlag(DeviceOpener opener)
{
    return opener == DeviceOpener::client ? openedByClient : openedByManager;
}

//==============================================================================
void HIDDevice::schedule(CFRunLoopRef newRunLoop)
{
    std::lock_guard<std::mutex> transition(transitionLock);
    Retained<CFRunLoopRef> previous;
    std::shared_ptr<DeviceChannel> active;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (runLoop.get() == newRunLoop)
            return;
        previous = std::exchange(runLoop, Retained<CFRunLoopRef>::retain(newRunLoop));
        active = channel;
    }
    runLoopAddScheduledObject(newRunLoop);
    if (previous)
        runLoopRemoveScheduledObject(previous.get());
    if (active != nullptr)
        active->startInput(newRunLoop, inputHandler());
    postRemovalIfDue();
}

void HIDDevice::unschedule(CFRunLoopRef oldRunLoop)
{
    std::lock_guard<std::mutex> transition(transitionLock);
    Retained<CFRunLoopRef> previous;
    std::shared_ptr<DeviceChannel> active;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (oldRunLoop == nullptr || runLoop.get() != oldRunLoop)
            return;
        previous = std::exchange(runLoop, {});
        active = channel;
    }
    if (active != nullptr)
        active->startInput(valueInputRunLoop(), inputHandler());
    runLoopRemoveScheduledObject(previous.get());
}

//==============================================================================
void HIDDevice::setRemovalCallback(IOHIDCallback callback, void* context)
{
    {
        std::lock_guard<std::mutex> guard(stateLock);
        removalCallback = { callback, callback != nullptr ? context : nullptr };
    }
    postRemovalIfDue();
}

void HIDDevice::setInputReportCallback(uint8_t* buffer, CFIndex length, IOHIDReportCallback callback, void* context)
{
    if (callback != nullptr && (buffer == nullptr || length <= 0))
        return;
    std::lock_guard<std::mutex> guard(stateLock);
    inputCallback = callback != nullptr ? InputCallback { buffer, length, callback, context } : InputCallback {};
}

InputReportHandler HIDDevice::inputHandler()
{
    return [weakDevice = weak_from_this()](const uint8_t* bytes, size_t length)
    {
        if (auto device = weakDevice.lock())
            device->deliverInput(bytes, length);
    };
}

void HIDDevice::deliverInput(const uint8_t* bytes, size_t length)
{
    InputCallback target;
    IOHIDDeviceRef sender;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (removed || owner == nullptr)
            return;
    }
    // Before the callback, which may read them.
    elementList->takeReport(bytes, length);
    feedQueues(bytes, length);
    {
        std::lock_guard<std::mutex> guard(stateLock);
        auto* loop = runLoopObject(runLoop.get());
        // A source that delivers on the wrong thread must not make a callback run there.
        if (removed || loop == nullptr || !loop->isOwnedByCurrentThread() || owner == nullptr)
            return;
        target = inputCallback;
        sender = owner;
    }
    if (target.function == nullptr)
        return;
    const size_t landing = std::min(length, static_cast<size_t>(target.length));
    if (landing > 0)
        std::memcpy(target.buffer, bytes, landing);
    const uint32_t reportID = reportsNumbered && length > 0 ? bytes[0] : 0;
    // The report's own length, even when the buffer held only part of it: the
    // reader learns that it was cut.
    target.function(target.context, kIOReturnSuccess, sender, kIOHIDReportTypeInput, reportID, target.buffer,
                    static_cast<CFIndex>(length));
}

void HIDDevice::feedQueues(const uint8_t* bytes, size_t length)
{
    std::shared_ptr<const QueueList> current;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        current = queues;
    }
    if (current != nullptr)
        for (const auto& queue : *current)
            queue->takeReport(bytes, length);
}

void HIDDevice::addQueue(std::shared_ptr<QueueCollector> queue)
{
    std::lock_guard<std::mutex> guard(stateLock);
    auto changed = queues != nullptr ? std::make_shared<QueueList>(*queues) : std::make_shared<QueueList>();
    changed->push_back(std::move(queue));
    queues = std::move(changed);
}

void HIDDevice::removeQueue(const QueueCollector* queue)
{
    std::lock_guard<std::mutex> guard(stateLock);
    if (queues == nullptr)
        return;
    auto changed = std::make_shared<QueueList>();
    for (const auto& kept : *queues)
        if (kept.get() != queue)
            changed->push_back(kept);
    queues = std::move(changed);
}

//==============================================================================
// A send holds the channel by its own reference, so that a removal on another
// thread never frees it underneath.
std::shared_ptr<DeviceChannel> HIDDevice::activeChannel(IOReturn& result)
{
    std::lock_guard<std::mutex> guard(stateLock);
    result = removed ? kIOReturnNoDevice : (channel == nullptr ? kIOReturnNotOpen : kIOReturnSuccess);
    return removed ? nullptr : channel;
}

IOReturn HIDDevice::setReport(IOHIDReportType type, CFIndex reportID, const uint8_t* bytes, CFIndex length)
{
    if (bytes == nullptr || length <= 0 || !isValidReportID(reportID) || !isValidReportType(type))
        return kIOReturnBadArgument;
    IOReturn result = kIOReturnSuccess;
    const auto active = activeChannel(result);
    if (active == nullptr)
        return result;
    return active->setReport(type, static_cast<uint32_t>(reportID), bytes, static_cast<size_t>(length));
}

IOReturn HIDDevice::getReport(IOHIDReportType type, CFIndex reportID, uint8_t* buffer, CFIndex* length)
{
    if (buffer == nullptr || length == nullptr || *length <= 0 || !isValidReportID(reportID) || !isValidReportType(type))
        return kIOReturnBadArgument;
    IOReturn result = kIOReturnSuccess;
    const auto active = activeChannel(result);
    if (active == nullptr)
        return result;
    size_t received = static_cast<size_t>(*length);
    result = active->getReport(type, static_cast<uint32_t>(reportID), buffer, &received);
    if (result == kIOReturnSuccess)
        *length = static_cast<CFIndex>(std::min(received, static_cast<size_t>(*length)));
    return result;
}

//==============================================================================
void HIDDevice::markRemoved()
{
    std::lock_guard<std::mutex> transition(transitionLock);
    std::shared_ptr<DeviceChannel> closing;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (removed)
            return;
        removed = true;
        closing = std::move(channel);
    }
    if (closing != nullptr)
        closing->stopInput();
    postRemovalIfDue();
}

void HIDDevice::postRemovalIfDue()
{
    Retained<IOHIDDeviceRef> keepAlive;
    CFRunLoopRef target;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (!removed || removalDelivered || removalPosted || removalCallback.function == nullptr || !runLoop
            || owner == nullptr)
            return;
        removalPosted = true;
        target = runLoop.get();
        // The removal is often the last news of a device whose manager has
        // already let go of it: the object has to live until its callback ran.
        keepAlive = Retained<IOHIDDeviceRef>::retain(owner);
    }
    runLoopPost(target, [keepAlive, target] { deviceObject(keepAlive.get())->deliverRemoval(target); });
}

void HIDDevice::deliverRemoval(CFRunLoopRef postedTo)
{
    bool movedMeanwhile;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        removalPosted = false;
        movedMeanwhile = !removalDelivered && runLoop.get() != postedTo;
    }
    if (movedMeanwhile)
        postRemovalIfDue();
    else
        deliverRemovalOn(postedTo);
}

void HIDDevice::deliverRemovalOn(CFRunLoopRef current)
{
    RemovalCallback target;
    IOHIDDeviceRef sender;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (!removed || removalDelivered || runLoop.get() != current || owner == nullptr)
            return;
        target = removalCallback;
        sender = owner;
        removalDelivered = target.function != nullptr;
    }
    if (target.function != nullptr)
        target.function(target.context, kIOReturnSuccess, sender);
}

void HIDDevice::ownerGone()
{
    std::lock_guard<std::mutex> transition(transitionLock);
    std::shared_ptr<DeviceChannel> closing;
    Retained<CFRunLoopRef> previous;
    elementList->deviceGone();
    {
        std::lock_guard<std::mutex> guard(stateLock);
        owner = nullptr;
        closing = std::move(channel);
        previous = std::exchange(runLoop, {});
    }
    if (closing != nullptr)
        closing->stopInput();
    if (previous)
        runLoopRemoveScheduledObject(previous.get());
}

} // namespace platform

//==============================================================================
CFTypeID IOHIDDeviceObject::typeID()
{
    static const CFTypeID id = platform::registerType("IOHIDDevice");
    return id;
}

IOHIDDeviceObject::IOHIDDeviceObject(std::shared_ptr<platform::SourceDevice> source)
    : platform::Object(typeID()), device(std::make_shared<platform::HIDDevice>(this, std::move(source)))
{
}

IOHIDDeviceObject::~IOHIDDeviceObject()
{
    device->ownerGone();
}
