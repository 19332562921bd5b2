#include "HidrawDevice.h"

#include "HidrawAccessHint.h"
#include "HidrawErrors.h"
#include "HidrawProperties.h"

#include <algorithm>

namespace platform::hidraw
{

HidrawDevice::HidrawDevice(DeviceInfo deviceInfo, VanishHandler vanishHandler)
    : info(std::move(deviceInfo)), propertyDictionary(createDeviceProperties(info)), onVanish(std::move(vanishHandler))
{
}

std::shared_ptr<DeviceChannel> HidrawDevice::open(IOReturn& result)
{
    std::weak_ptr<HidrawDevice> weakSelf = weak_from_this();
    auto vanished = [weakSelf] {
        if (auto self = weakSelf.lock())
            self->onVanish(self->info.syspath);
    };

    std::lock_guard guard(lock);
    if (gone)
    {
        result = kIOReturnNoDevice;
        return nullptr;
    }
    int error = 0;
    auto channel = HidrawChannel::open(info.devnode, vanished, error);
    lastOpenFailed = channel == nullptr;
    if (channel == nullptr)
    {
        reportOpenFailure(info, error);
        result = ioReturnFromErrno(error);
        return nullptr;
    }
    channels.erase(std::remove_if(channels.begin(), channels.end(), [](const auto& c) { return c.expired(); }),
                   channels.end());
    channels.push_back(channel);
    result = kIOReturnSuccess;
    return channel;
}

void HidrawDevice::markGone()
{
    std::vector<std::weak_ptr<HidrawChannel>> openChannels;
    {
        std::lock_guard guard(lock);
        gone = true;
        openChannels.swap(channels);
    }
    for (const auto& weakChannel : openChannels)
        if (auto channel = weakChannel.lock())
            channel->close();
}

bool HidrawDevice::isGone() const
{
    std::lock_guard guard(lock);
    return gone;
}

bool HidrawDevice::openFailed() const
{
    std::lock_guard guard(lock);
    return lastOpenFailed;
}

} // namespace platform::hidraw
