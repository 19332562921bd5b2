#include "HidrawDevice.h"

#include "HidrawErrors.h"
#include "HidrawProperties.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

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
        reportOpenFailure(error);
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

// Most users meet this once: hidraw nodes belong to root until a udev rule
// gives the logged-in user the controller's.
void HidrawDevice::reportOpenFailure(int error)
{
    if (openFailureReported)
        return;
    openFailureReported = true;
    std::fprintf(stderr,
                 "hidraw: cannot open %s: %s (errno %d). To let the logged-in user use the controller, "
                 "install the rule 70-kvx-tn.rules (built into the build folder's udev/) in /etc/udev/rules.d/, "
                 "run 'udevadm control --reload-rules' and reconnect the controller.\n",
                 info.devnode.c_str(), std::strerror(error), error);
}

} // namespace platform::hidraw
