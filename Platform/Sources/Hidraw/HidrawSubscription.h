// One HID manager's subscription to the hidraw source: its own udev monitor,
// watched on the run loop where the manager is scheduled, and the devices the
// manager has been told of, so that each removal reaches it once.
#pragma once

#include "HidrawDevice.h"
#include "HidrawUdevContext.h"
#include "IOKit/DeviceSource.h"
#include "IOKit/Retained.h"

#include <CoreFoundation/RunLoopObject.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::hidraw
{

class HidrawSource;

class HidrawSubscription : public std::enable_shared_from_this<HidrawSubscription>
{
public:
    // monitor may be null: the manager then learns of removals through open nodes only.
    HidrawSubscription(std::weak_ptr<HidrawSource> source, std::weak_ptr<SourceListener> listener,
                       std::unique_ptr<HidrawMonitor> monitor);
    ~HidrawSubscription();
    HidrawSubscription(const HidrawSubscription&) = delete;
    HidrawSubscription& operator=(const HidrawSubscription&) = delete;

    // False once the listener is gone, also when another one now lives at its address.
    bool follows(const std::shared_ptr<SourceListener>& candidate) const;
    // The devices the manager can list already: they are not announced, but their removal is.
    void addKnownDevices(const std::vector<std::shared_ptr<HidrawDevice>>& devices);
    // Null stops the watch; udev's events then wait in the monitor until the next run loop.
    void scheduleOn(CFRunLoopRef runLoop);
    // Reports the device's removal on the subscription's run loop, if the manager knows it.
    void postRemoval(const std::shared_ptr<HidrawDevice>& device);

private:
    void receiveEvents();
    void announce(const std::shared_ptr<HidrawDevice>& device);
    void forgetReplaced(const HidrawDevice& device);
    void forget(const std::string& syspath, const HidrawDevice* onlyThis);
    void postPendingRemovals();
    void unwatch();

    const std::weak_ptr<HidrawSource> source;
    const std::weak_ptr<SourceListener> listener;
    const SourceListener* const listenerKey;
    const std::unique_ptr<HidrawMonitor> monitor;

    std::mutex lock;
    Retained<CFRunLoopRef> runLoop;
    WatchID watch = 0;
    std::map<std::string, std::shared_ptr<HidrawDevice>> known;
    std::vector<std::shared_ptr<HidrawDevice>> pendingRemovals;
};

} // namespace platform::hidraw
