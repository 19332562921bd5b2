#include "HidrawSubscription.h"

#include "HidrawSource.h"

#include <sys/epoll.h>

namespace platform::hidraw
{

HidrawSubscription::HidrawSubscription(std::weak_ptr<HidrawSource> owner, std::weak_ptr<SourceListener> subscriber,
                                       std::unique_ptr<HidrawMonitor> udevMonitor)
    : source(std::move(owner)),
      listener(subscriber),
      listenerKey(subscriber.lock().get()),
      monitor(std::move(udevMonitor))
{
}

HidrawSubscription::~HidrawSubscription()
{
    unwatch();
}

bool HidrawSubscription::follows(const std::shared_ptr<SourceListener>& candidate) const
{
    return ! listener.owner_before(candidate) && ! candidate.owner_before(listener) && ! listener.expired();
}

void HidrawSubscription::addKnownDevices(const std::vector<std::shared_ptr<HidrawDevice>>& devices)
{
    std::lock_guard guard(lock);
    for (const auto& device : devices)
        if (! device->isGone())
            known.emplace(device->syspath(), device);
}

void HidrawSubscription::scheduleOn(CFRunLoopRef newRunLoop)
{
    {
        std::lock_guard guard(lock);
        if (newRunLoop == runLoop.get())
            return;
    }
    unwatch();
    std::weak_ptr<HidrawSubscription> weakSelf = weak_from_this();
    std::lock_guard guard(lock);
    runLoop = Retained<CFRunLoopRef>::retain(newRunLoop);
    if (newRunLoop != nullptr && monitor != nullptr)
        watch = runLoopWatch(newRunLoop, monitor->descriptor(), EPOLLIN, [weakSelf](uint32_t) {
            if (auto self = weakSelf.lock())
                self->receiveEvents();
        });
    if (newRunLoop != nullptr && ! pendingRemovals.empty())
        runLoopPost(newRunLoop, [weakSelf] {
            if (auto self = weakSelf.lock())
                self->postPendingRemovals();
        });
}

void HidrawSubscription::unwatch()
{
    std::lock_guard guard(lock);
    if (watch != 0)
        runLoopUnwatch(runLoop.get(), watch);
    watch = 0;
}

void HidrawSubscription::postRemoval(const std::shared_ptr<HidrawDevice>& device)
{
    std::weak_ptr<HidrawSubscription> weakSelf = weak_from_this();
    std::lock_guard guard(lock);
    if (runLoop.get() == nullptr
        || ! runLoopPost(runLoop.get(), [weakSelf, device] {
               if (auto self = weakSelf.lock())
                   self->forget(device->syspath(), device.get());
           }))
        pendingRemovals.push_back(device);
}

void HidrawSubscription::postPendingRemovals()
{
    std::vector<std::shared_ptr<HidrawDevice>> removals;
    {
        std::lock_guard guard(lock);
        removals.swap(pendingRemovals);
    }
    for (const auto& device : removals)
        forget(device->syspath(), device.get());
}

void HidrawSubscription::receiveEvents()
{
    auto owner = source.lock();
    if (owner == nullptr)
        return;
    if (listener.expired())
    {
        owner->unsubscribe(listenerKey);
        return;
    }
    for (auto& event : monitor->receive())
    {
        if (event.action == UdevEvent::Action::removed)
        {
            owner->retire(event.syspath, HidrawSource::Reason::udevRemoved);
            forget(event.syspath, nullptr);
        }
        else if (event.info)
        {
            if (auto device = owner->deviceArrived(std::move(*event.info)))
                announce(device);
        }
    }
}

void HidrawSubscription::announce(const std::shared_ptr<HidrawDevice>& device)
{
    forgetReplaced(*device);
    {
        std::lock_guard guard(lock);
        if (device->isGone() || ! known.emplace(device->syspath(), device).second)
            return;
    }
    if (auto subscriber = listener.lock())
        subscriber->deviceArrived(device);
}

// A device retired for a new one under its syspath leaves before the new one
// arrives, though its removal, posted, would come later.
void HidrawSubscription::forgetReplaced(const HidrawDevice& device)
{
    std::shared_ptr<HidrawDevice> replaced;
    {
        std::lock_guard guard(lock);
        const auto found = known.find(device.syspath());
        if (found == known.end() || found->second.get() == &device || ! found->second->isGone())
            return;
        replaced = found->second;
    }
    forget(replaced->syspath(), replaced.get());
}

// onlyThis: forget the device only if it is still the one known under its syspath.
void HidrawSubscription::forget(const std::string& syspath, const HidrawDevice* onlyThis)
{
    std::shared_ptr<HidrawDevice> device;
    {
        std::lock_guard guard(lock);
        const auto found = known.find(syspath);
        if (found == known.end() || (onlyThis != nullptr && found->second.get() != onlyThis))
            return;
        device = std::move(found->second);
        known.erase(found);
    }
    if (auto subscriber = listener.lock())
        subscriber->deviceRemoved(device);
}

} // namespace platform::hidraw
