// The Linux device source: every hidraw node that udev knows, with hot-plug
// through udev monitors and input and output reports through the nodes.
#pragma once

#include "HidrawDevice.h"
#include "HidrawSubscription.h"
#include "HidrawUdevContext.h"
#include "IOKit/DeviceSource.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace platform::hidraw
{

// Null when libudev cannot be used at all.
std::shared_ptr<DeviceSource> createHidrawSource();

class HidrawSource final : public DeviceSource, public std::enable_shared_from_this<HidrawSource>
{
public:
    explicit HidrawSource(std::shared_ptr<UdevContext> udev);

    std::vector<std::shared_ptr<SourceDevice>> devices() override;
    void subscribe(const std::shared_ptr<SourceListener>& listener, CFRunLoopRef runLoop) override;
    void unsubscribe(const SourceListener* listener) override;

    // The device object for an arrival: the one already present under its
    // syspath, a new one, or null while its open node has failed and udev has
    // not yet said it is gone. A present device whose node could not be opened
    // is retired and replaced by a new one, which the managers open afresh.
    std::shared_ptr<HidrawDevice> deviceArrived(DeviceInfo info);

    enum class Reason
    {
        udevRemoved, // udev has said "remove"
        nodeFailed   // an open node failed as an unplugged one does
    };
    // Takes the device out of the source and marks it gone; every subscription
    // that announced it reports its removal. Nothing when it is not present.
    void retire(const std::string& syspath, Reason reason);

private:
    std::vector<std::shared_ptr<HidrawDevice>> refresh();
    std::shared_ptr<HidrawDevice> makeDevice(DeviceInfo info);
    std::shared_ptr<HidrawSubscription> subscriptionFor(const std::shared_ptr<SourceListener>& listener);
    // Call with the lock held.
    std::vector<std::shared_ptr<HidrawSubscription>> allSubscriptions() const;
    // Call without the lock.
    static void markRemoved(const std::shared_ptr<HidrawDevice>& device,
                            const std::vector<std::shared_ptr<HidrawSubscription>>& subscribers);
    void reportMonitorFailure(int error);

    const std::shared_ptr<UdevContext> udev;

    std::mutex lock;
    std::map<std::string, std::shared_ptr<HidrawDevice>> present;
    // Nodes that failed while udev still lists them: not offered again until udev removes them.
    std::set<std::string> vanished;
    std::map<const SourceListener*, std::shared_ptr<HidrawSubscription>> subscriptions;
    bool monitorFailureReported = false;
};

} // namespace platform::hidraw
