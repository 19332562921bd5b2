#include "IOKit/HIDManager.h"

#include "CoreFoundation/RunLoopObject.h"
#include "IOKit/HIDDevice.h"

#include <algorithm>

namespace platform
{

HIDManager::HIDManager(IOHIDManagerRef ownerObject, std::shared_ptr<DeviceSource> deviceSource)
    : source(std::move(deviceSource)), owner(ownerObject)
{
}

void HIDManager::follow()
{
    source->subscribe(shared_from_this(), nullptr);
}

void HIDManager::ownerGone()
{
    source->unsubscribe(this);
    std::lock_guard<std::mutex> transition(transitionLock);
    std::vector<std::shared_ptr<Member>> dropped;
    std::deque<Event> undelivered;
    Retained<CFRunLoopRef> previous;
    bool wasOpen;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        owner = nullptr;
        dropped.swap(members);
        undelivered.swap(events);
        previous = std::exchange(runLoop, {});
        wasOpen = std::exchange(isOpen, false);
    }
    if (wasOpen)
        for (const auto& member : dropped)
            deviceObject(member->device.get())->close(DeviceOpener::manager);
    if (previous)
        runLoopRemoveScheduledObject(previous.get());
}

//==============================================================================
// Members change only with the transition lock held, so reading them under it
// alone is safe; changing them takes the state lock too.
std::shared_ptr<HIDManager::Member> HIDManager::findMember(const SourceDevice* sourceDevice) const
{
    auto found = std::find_if(members.begin(), members.end(),
                              [sourceDevice](const auto& member) { return member->source.get() == sourceDevice; });
    return found != members.end() ? *found : nullptr;
}

std::shared_ptr<HIDManager::Member> HIDManager::makeMember(const std::shared_ptr<SourceDevice>& sourceDevice)
{
    auto member = std::make_shared<Member>();
    member->source = sourceDevice;
    member->device = createDeviceObject(sourceDevice);
    return member;
}

std::shared_ptr<HIDManager::Member> HIDManager::join(const std::shared_ptr<SourceDevice>& sourceDevice)
{
    auto member = makeMember(sourceDevice);
    std::lock_guard<std::mutex> guard(stateLock);
    members.push_back(member);
    events.push_back({ true, member });
    return member;
}

void HIDManager::setMatching(DeviceMatching newMatching)
{
    std::lock_guard<std::mutex> transition(transitionLock);
    std::vector<std::shared_ptr<Member>> kept;
    std::vector<std::shared_ptr<Member>> joined;
    for (const auto& present : source->devices())
    {
        if (!newMatching.matches(present->properties()))
            continue;
        if (auto member = findMember(present.get()))
            kept.push_back(member);
        else
            joined.push_back(makeMember(present));
    }
    std::vector<std::shared_ptr<Member>> left;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        matching = std::move(newMatching);
        for (const auto& member : members)
            if (std::find(kept.begin(), kept.end(), member) == kept.end())
                left.push_back(member);
        members = kept;
        for (const auto& member : joined)
        {
            members.push_back(member);
            events.push_back({ true, member });
        }
    }
    if (isOpen)
    {
        for (const auto& member : joined)
            deviceObject(member->device.get())->open(DeviceOpener::manager);
        for (const auto& member : left)
            deviceObject(member->device.get())->close(DeviceOpener::manager);
    }
    postEventsIfDue();
}

IOReturn HIDManager::open()
{
    std::lock_guard<std::mutex> transition(transitionLock);
    {
        std::lock_guard<std::mutex> guard(stateLock);
        isOpen = true;
    }
    // A device without access stays in the set: the others are still worth having.
    for (const auto& member : members)
        deviceObject(member->device.get())->open(DeviceOpener::manager);
    return kIOReturnSuccess;
}

IOReturn HIDManager::close()
{
    std::lock_guard<std::mutex> transition(transitionLock);
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (!isOpen)
            return kIOReturnNotOpen;
        isOpen = false;
    }
    for (const auto& member : members)
        deviceObject(member->device.get())->close(DeviceOpener::manager);
    return kIOReturnSuccess;
}

CFSetRef HIDManager::copyDevices() const
{
    std::vector<const void*> devices;
    std::lock_guard<std::mutex> guard(stateLock);
    if (members.empty())
        return nullptr;
    for (const auto& member : members)
        devices.push_back(member->device.get());
    return CFSetCreate(kCFAllocatorDefault, devices.data(), static_cast<CFIndex>(devices.size()), &kCFTypeSetCallBacks);
}

//==============================================================================
void HIDManager::deviceArrived(const std::shared_ptr<SourceDevice>& sourceDevice)
{
    std::lock_guard<std::mutex> transition(transitionLock);
    // Also reached for a device that setMatching already found through devices().
    if (!matching.matches(sourceDevice->properties()) || findMember(sourceDevice.get()) != nullptr)
        return;
    auto member = join(sourceDevice);
    if (isOpen)
        deviceObject(member->device.get())->open(DeviceOpener::manager);
    postEventsIfDue();
}

void HIDManager::deviceRemoved(const std::shared_ptr<SourceDevice>& sourceDevice)
{
    std::lock_guard<std::mutex> transition(transitionLock);
    auto member = findMember(sourceDevice.get());
    if (member == nullptr)
        return;
    // Marked first: once the event is queued, its delivery may run on another
    // thread and must find the device's removal callback due.
    deviceObject(member->device.get())->markRemoved();
    {
        std::lock_guard<std::mutex> guard(stateLock);
        members.erase(std::find(members.begin(), members.end(), member));
        member->gone = true;
        events.push_back({ false, member });
    }
    postEventsIfDue();
}

//==============================================================================
void HIDManager::setMatchingCallback(IOHIDDeviceCallback callback, void* context)
{
    std::lock_guard<std::mutex> guard(stateLock);
    matchingCallback = { callback, context };
}

void HIDManager::setRemovalCallback(IOHIDDeviceCallback callback, void* context)
{
    std::lock_guard<std::mutex> guard(stateLock);
    removalCallback = { callback, context };
}

void HIDManager::schedule(CFRunLoopRef newRunLoop)
{
    std::lock_guard<std::mutex> transition(transitionLock);
    Retained<CFRunLoopRef> previous;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (runLoop.get() == newRunLoop)
            return;
        previous = std::exchange(runLoop, Retained<CFRunLoopRef>::retain(newRunLoop));
    }
    runLoopAddScheduledObject(newRunLoop);
    if (previous)
        runLoopRemoveScheduledObject(previous.get());
    source->subscribe(shared_from_this(), newRunLoop);
    postEventsIfDue();
}

void HIDManager::unschedule(CFRunLoopRef oldRunLoop)
{
    std::lock_guard<std::mutex> transition(transitionLock);
    Retained<CFRunLoopRef> previous;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (oldRunLoop == nullptr || runLoop.get() != oldRunLoop)
            return;
        previous = std::exchange(runLoop, {});
    }
    runLoopRemoveScheduledObject(previous.get());
    source->subscribe(shared_from_this(), nullptr);
}

//==============================================================================
void HIDManager::postEventsIfDue()
{
    CFRunLoopRef target;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (events.empty() || eventsPosted || !runLoop || owner == nullptr)
            return;
        eventsPosted = true;
        target = runLoop.get();
    }
    runLoopPost(target, [weakManager = weak_from_this(), target]
                {
                    if (auto manager = weakManager.lock())
                        manager->deliverEvents(target);
                });
}

void HIDManager::deliverEvents(CFRunLoopRef postedTo)
{
    {
        std::lock_guard<std::mutex> guard(stateLock);
        eventsPosted = false;
    }
    Delivery delivery;
    while (takeDelivery(postedTo, delivery))
    {
        // The device posted its removal callback on its own: made here, it
        // comes before any arrival queued after it.
        if (delivery.removal)
            deviceObject(delivery.device.get())->deliverRemovalOn(postedTo);
        if (delivery.callback.function != nullptr)
            delivery.callback.function(delivery.callback.context, kIOReturnSuccess, delivery.sender,
                                       delivery.device.get());
        delivery = {};
    }
    // Rescheduled meanwhile: the rest goes to the new run loop.
    postEventsIfDue();
}

bool HIDManager::takeDelivery(CFRunLoopRef postedTo, Delivery& delivery)
{
    // Declared before the lock: a device whose last reference an event held is
    // destroyed after the lock is let go.
    std::vector<Event> finished;
    std::lock_guard<std::mutex> guard(stateLock);
    while (!events.empty() && runLoop.get() == postedTo && owner != nullptr)
    {
        finished.push_back(std::move(events.front()));
        events.pop_front();
        auto& member = *finished.back().member;
        const bool arrival = finished.back().arrival;
        const Callback callback = arrival ? matchingCallback : removalCallback;
        // A device that left before its arrival was told is never told of; its removal neither.
        const bool due = (arrival ? !member.gone && !member.announced : member.announced)
                         && callback.function != nullptr;
        if (!due && arrival)
            continue;
        member.announced = member.announced || arrival;
        delivery = { due ? callback : Callback {}, member.device, owner, !arrival };
        return true;
    }
    return false;
}

HIDManager* managerObject(IOHIDManagerRef manager)
{
    auto* object = objectCast<IOHIDManagerObject>(manager);
    return object != nullptr ? object->manager.get() : nullptr;
}

} // namespace platform

//==============================================================================
CFTypeID IOHIDManagerObject::typeID()
{
    static const CFTypeID id = platform::registerType("IOHIDManager");
    return id;
}

IOHIDManagerObject::IOHIDManagerObject(std::shared_ptr<platform::DeviceSource> source)
    : platform::Object(typeID()), manager(std::make_shared<platform::HIDManager>(this, std::move(source)))
{
    manager->follow();
}

IOHIDManagerObject::~IOHIDManagerObject()
{
    manager->ownerGone();
}
