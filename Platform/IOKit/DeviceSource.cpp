#include "IOKit/DeviceSource.h"
#include "Sources/Hidraw/HidrawSource.h"

#include <mutex>

namespace platform
{

namespace
{
class EmptySource final : public DeviceSource
{
public:
    std::vector<std::shared_ptr<SourceDevice>> devices() override { return {}; }
    void subscribe(const std::shared_ptr<SourceListener>&, CFRunLoopRef) override {}
    void unsubscribe(const SourceListener*) override {}
};

// The system's HID devices, unless a test chooses others.
std::shared_ptr<DeviceSource> systemSource()
{
    if (auto hidraw = hidraw::createHidrawSource())
        return hidraw;
    return std::make_shared<EmptySource>();
}

struct DefaultSource
{
    std::mutex lock;
    std::shared_ptr<DeviceSource> source = systemSource();
};

DefaultSource& defaultSource()
{
    static DefaultSource instance;
    return instance;
}
} // namespace

std::shared_ptr<DeviceSource> defaultDeviceSource()
{
    auto& current = defaultSource();
    std::lock_guard<std::mutex> guard(current.lock);
    return current.source;
}

void setDefaultDeviceSource(std::shared_ptr<DeviceSource> source)
{
    if (source == nullptr)
        source = std::make_shared<EmptySource>();
    auto& current = defaultSource();
    std::lock_guard<std::mutex> guard(current.lock);
    current.source = std::move(source);
}

} // namespace platform
