#include "Sources/Virtual/VirtualDevice.h"

#include "Sources/Virtual/VirtualChannel.h"

#include <algorithm>

namespace platform::virtualhid
{

namespace
{
Retained<CFDictionaryRef> copyProperties(CFDictionaryRef properties)
{
    if (properties == nullptr)
        return Retained<CFDictionaryRef>::adopt(CFDictionaryCreate(kCFAllocatorDefault, nullptr, nullptr, 0,
                                                                   &kCFTypeDictionaryKeyCallBacks,
                                                                   &kCFTypeDictionaryValueCallBacks));
    return Retained<CFDictionaryRef>::adopt(CFDictionaryCreateCopy(kCFAllocatorDefault, properties));
}
} // namespace

VirtualDevice::VirtualDevice(CFDictionaryRef properties, std::vector<uint8_t> reportDescriptor)
    : deviceProperties(copyProperties(properties)), descriptor(std::move(reportDescriptor))
{
}

std::shared_ptr<DeviceChannel> VirtualDevice::open(IOReturn& result)
{
    std::lock_guard<std::mutex> guard(lock);
    if (!attached)
    {
        result = kIOReturnNoDevice;
        return nullptr;
    }
    channels.erase(std::remove_if(channels.begin(), channels.end(), [](const auto& closed) { return closed.expired(); }),
                   channels.end());
    auto channel = std::make_shared<VirtualChannel>(shared_from_this(), attachment);
    channels.push_back(channel);
    result = kIOReturnSuccess;
    return channel;
}

//==============================================================================
bool VirtualDevice::plugIn()
{
    std::lock_guard<std::mutex> guard(lock);
    if (attached)
        return false;
    attached = true;
    ++attachment;
    return true;
}

bool VirtualDevice::unplug()
{
    std::lock_guard<std::mutex> guard(lock);
    if (!attached)
        return false;
    attached = false;
    channels.clear();
    return true;
}

bool VirtualDevice::isAttached() const
{
    std::lock_guard<std::mutex> guard(lock);
    return attached;
}

bool VirtualDevice::isLive(const VirtualChannel& channel) const
{
    return attached && channel.attachment() == attachment;
}

//==============================================================================
void VirtualDevice::inject(std::vector<uint8_t> report)
{
    auto shared = std::make_shared<const std::vector<uint8_t>>(std::move(report));
    std::vector<std::shared_ptr<VirtualChannel>> receivers;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (const auto& weakChannel : channels)
            if (auto channel = weakChannel.lock())
                receivers.push_back(std::move(channel));
    }
    for (const auto& channel : receivers)
        channel->deliver(shared);
}

IOReturn VirtualDevice::receive(const VirtualChannel& from, Report report)
{
    OutputHandler handler;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!isLive(from))
            return kIOReturnNoDevice;
        sent.push_back(report);
        handler = outputHandler;
    }
    return handler ? handler(report) : kIOReturnSuccess;
}

IOReturn VirtualDevice::answer(const VirtualChannel& from, Report& request)
{
    GetReportHandler handler;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!isLive(from))
            return kIOReturnNoDevice;
        handler = getReportHandler;
    }
    return handler ? handler(request) : kIOReturnUnsupported;
}

//==============================================================================
void VirtualDevice::setOutputHandler(OutputHandler handler)
{
    std::lock_guard<std::mutex> guard(lock);
    outputHandler = std::move(handler);
}

void VirtualDevice::setGetReportHandler(GetReportHandler handler)
{
    std::lock_guard<std::mutex> guard(lock);
    getReportHandler = std::move(handler);
}

std::vector<Report> VirtualDevice::sentReports() const
{
    std::lock_guard<std::mutex> guard(lock);
    return sent;
}

void VirtualDevice::clearSentReports()
{
    std::lock_guard<std::mutex> guard(lock);
    sent.clear();
}

int VirtualDevice::openCount() const
{
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<int>(std::count_if(channels.begin(), channels.end(),
                                          [](const auto& channel) { return !channel.expired(); }));
}

} // namespace platform::virtualhid
