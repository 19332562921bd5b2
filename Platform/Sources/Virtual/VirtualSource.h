// The process's one source of virtual devices.
#pragma once

#include "IOKit/DeviceSource.h"

#include <memory>
#include <mutex>
#include <vector>

namespace platform::virtualhid
{

class VirtualDevice;

class VirtualSource final : public DeviceSource
{
public:
    static const std::shared_ptr<VirtualSource>& instance();

    std::vector<std::shared_ptr<SourceDevice>> devices() override;
    void subscribe(const std::shared_ptr<SourceListener>& listener, CFRunLoopRef runLoop) override;
    void unsubscribe(const SourceListener* listener) override;

    void attach(const std::shared_ptr<VirtualDevice>& device);
    void detach(const std::shared_ptr<VirtualDevice>& device);

private:
    std::vector<std::shared_ptr<SourceListener>> liveListeners();

    // Held while listeners hear of a change, so that each hears every device's
    // arrival before its removal, whichever threads attach and detach.
    std::mutex notificationLock;
    std::mutex lock;
    std::vector<std::shared_ptr<VirtualDevice>> attached;
    std::vector<std::weak_ptr<SourceListener>> listeners;
};

} // namespace platform::virtualhid
