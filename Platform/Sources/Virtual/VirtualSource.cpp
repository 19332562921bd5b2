#include "Sources/Virtual/VirtualSource.h"

#include "Sources/Virtual/VirtualDevice.h"

#include <Platform/VirtualHID.h>

#include <algorithm>

namespace platform
{

void useVirtualDevices()
{
    setDefaultDeviceSource(virtualhid::VirtualSource::instance());
}

namespace virtualhid
{

const std::shared_ptr<VirtualSource>& VirtualSource::instance()
{
    static const auto source = std::make_shared<VirtualSource>();
    return source;
}

std::vector<std::shared_ptr<SourceDevice>> VirtualSource::devices()
{
    std::lock_guard<std::mutex> guard(lock);
    return { attached.begin(), attached.end() };
}

void VirtualSource::subscribe(const std::shared_ptr<SourceListener>& listener, CFRunLoopRef)
{
    std::lock_guard<std::mutex> guard(lock);
    const bool known = std::any_of(listeners.begin(), listeners.end(),
                                   [&](const auto& entry) { return entry.lock() == listener; });
    if (!known)
        listeners.push_back(listener);
}

void VirtualSource::unsubscribe(const SourceListener* listener)
{
    std::lock_guard<std::mutex> guard(lock);
    listeners.erase(std::remove_if(listeners.begin(), listeners.end(),
                                   [&](const auto& entry)
                                   {
                                       auto live = entry.lock();
                                       return live == nullptr || live.get() == listener;
                                   }),
                    listeners.end());
}

std::vector<std::shared_ptr<SourceListener>> VirtualSource::liveListeners()
{
    std::lock_guard<std::mutex> guard(lock);
    std::vector<std::shared_ptr<SourceListener>> live;
    for (const auto& entry : listeners)
        if (auto listener = entry.lock())
            live.push_back(std::move(listener));
    return live;
}

void VirtualSource::attach(const std::shared_ptr<VirtualDevice>& device)
{
    std::lock_guard<std::mutex> notifying(notificationLock);
    if (!device->plugIn())
        return;
    {
        std::lock_guard<std::mutex> guard(lock);
        attached.push_back(device);
    }
    for (const auto& listener : liveListeners())
        listener->deviceArrived(device);
}

void VirtualSource::detach(const std::shared_ptr<VirtualDevice>& device)
{
    std::lock_guard<std::mutex> notifying(notificationLock);
    if (!device->unplug())
        return;
    {
        std::lock_guard<std::mutex> guard(lock);
        attached.erase(std::remove(attached.begin(), attached.end(), device), attached.end());
    }
    for (const auto& listener : liveListeners())
        listener->deviceRemoved(device);
}

} // namespace virtualhid
} // namespace platform
