#include "HidrawSource.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform::hidraw
{

std::shared_ptr<DeviceSource> createHidrawSource()
{
    auto udev = UdevContext::create();
    if (udev == nullptr)
        return nullptr;
    return std::make_shared<HidrawSource>(std::move(udev));
}

HidrawSource::HidrawSource(std::shared_ptr<UdevContext> context) : udev(std::move(context)) {}

std::vector<std::shared_ptr<SourceDevice>> HidrawSource::devices()
{
    const auto current = refresh();
    return std::vector<std::shared_ptr<SourceDevice>>(current.begin(), current.end());
}

// Enumeration is the truth: devices it no longer lists are retired, new ones
// are made (and announced by the monitors when their events come).
std::vector<std::shared_ptr<HidrawDevice>> HidrawSource::refresh()
{
    auto listed = udev->enumerateDevices();
    std::vector<std::shared_ptr<HidrawDevice>> current;
    std::vector<std::shared_ptr<HidrawDevice>> missing;
    std::vector<std::shared_ptr<HidrawSubscription>> subscribers;
    {
        std::lock_guard guard(lock);
        std::map<std::string, std::shared_ptr<HidrawDevice>> stillPresent;
        std::set<std::string> stillVanished;
        for (auto& info : listed)
        {
            if (const auto found = present.find(info.syspath); found != present.end())
                stillPresent.insert(*found);
            else if (vanished.count(info.syspath) != 0)
                stillVanished.insert(info.syspath);
            else
            {
                auto device = makeDevice(std::move(info));
                stillPresent.emplace(device->syspath(), std::move(device));
            }
        }
        for (const auto& [syspath, device] : present)
            if (stillPresent.count(syspath) == 0)
                missing.push_back(device);
        present.swap(stillPresent);
        vanished.swap(stillVanished);
        for (const auto& [syspath, device] : present)
            current.push_back(device);
        subscribers = allSubscriptions();
    }
    for (const auto& device : missing)
        markRemoved(device, subscribers);
    return current;
}

std::shared_ptr<HidrawDevice> HidrawSource::makeDevice(DeviceInfo info)
{
    std::weak_ptr<HidrawSource> weakSelf = weak_from_this();
    return std::make_shared<HidrawDevice>(std::move(info), [weakSelf](const std::string& syspath) {
        if (auto self = weakSelf.lock())
            self->retire(syspath, Reason::nodeFailed);
    });
}

std::shared_ptr<HidrawDevice> HidrawSource::deviceArrived(DeviceInfo info)
{
    std::shared_ptr<HidrawDevice> arrived;
    std::shared_ptr<HidrawDevice> refused;
    std::vector<std::shared_ptr<HidrawSubscription>> subscribers;
    {
        std::lock_guard guard(lock);
        if (vanished.count(info.syspath) != 0)
            return nullptr;
        auto& device = present[info.syspath];
        if (device != nullptr && device->openFailed())
        {
            refused = std::move(device);
            subscribers = allSubscriptions();
        }
        if (device == nullptr)
            device = makeDevice(std::move(info));
        arrived = device;
    }
    if (refused != nullptr)
        markRemoved(refused, subscribers);
    return arrived;
}

void HidrawSource::retire(const std::string& syspath, Reason reason)
{
    std::shared_ptr<HidrawDevice> device;
    std::vector<std::shared_ptr<HidrawSubscription>> subscribers;
    {
        std::lock_guard guard(lock);
        if (reason == Reason::nodeFailed)
            vanished.insert(syspath);
        else
            vanished.erase(syspath);
        const auto found = present.find(syspath);
        if (found == present.end())
            return;
        device = std::move(found->second);
        present.erase(found);
        subscribers = allSubscriptions();
    }
    markRemoved(device, subscribers);
}

void HidrawSource::markRemoved(const std::shared_ptr<HidrawDevice>& device,
                               const std::vector<std::shared_ptr<HidrawSubscription>>& subscribers)
{
    device->markGone();
    for (const auto& subscription : subscribers)
        subscription->postRemoval(device);
}

std::vector<std::shared_ptr<HidrawSubscription>> HidrawSource::allSubscriptions() const
{
    std::vector<std::shared_ptr<HidrawSubscription>> all;
    for (const auto& [key, subscription] : subscriptions)
        all.push_back(subscription);
    return all;
}

void HidrawSource::subscribe(const std::shared_ptr<SourceListener>& listener, CFRunLoopRef runLoop)
{
    if (listener != nullptr)
        subscriptionFor(listener)->scheduleOn(runLoop);
}

std::shared_ptr<HidrawSubscription> HidrawSource::subscriptionFor(const std::shared_ptr<SourceListener>& listener)
{
    std::unique_lock guard(lock);
    if (const auto found = subscriptions.find(listener.get());
        found != subscriptions.end() && found->second->follows(listener))
        return found->second;
    guard.unlock();

    // The monitor receives before the enumeration runs, so that nothing plugged
    // in meanwhile falls between the two.
    auto monitor = udev->createMonitor();
    if (monitor == nullptr)
        reportMonitorFailure(errno);
    auto subscription = std::make_shared<HidrawSubscription>(weak_from_this(), listener, std::move(monitor));
    guard.lock();
    subscriptions[listener.get()] = subscription;
    guard.unlock();
    subscription->addKnownDevices(refresh());
    return subscription;
}

void HidrawSource::reportMonitorFailure(int error)
{
    std::lock_guard guard(lock);
    if (monitorFailureReported)
        return;
    monitorFailureReported = true;
    std::fprintf(stderr, "hidraw: cannot follow devices being plugged in and out: %s (errno %d)\n",
                 std::strerror(error), error);
}

void HidrawSource::unsubscribe(const SourceListener* listener)
{
    std::shared_ptr<HidrawSubscription> subscription;
    {
        std::lock_guard guard(lock);
        const auto found = subscriptions.find(listener);
        if (found == subscriptions.end())
            return;
        subscription = std::move(found->second);
        subscriptions.erase(found);
    }
    subscription->scheduleOn(nullptr);
}

} // namespace platform::hidraw
