#include "Sources/Virtual/VirtualDevice.h"
#include "Sources/Virtual/VirtualSource.h"

#include <Platform/VirtualHID.h>

namespace platform::virtualhid
{

Device::Device(CFDictionaryRef properties, std::vector<uint8_t> reportDescriptor)
    : device(std::make_shared<VirtualDevice>(properties, std::move(reportDescriptor)))
{
}

Device::Device(const Properties& properties, std::vector<uint8_t> reportDescriptor)
    : Device(properties.dictionary(), std::move(reportDescriptor))
{
}

Device::~Device()
{
    detach();
}

void Device::attach()
{
    VirtualSource::instance()->attach(device);
}

void Device::detach()
{
    VirtualSource::instance()->detach(device);
}

bool Device::isAttached() const
{
    return device->isAttached();
}

void Device::injectInput(const uint8_t* bytes, size_t length)
{
    if (bytes != nullptr || length == 0)
        device->inject(std::vector<uint8_t>(bytes, bytes + length));
}

void Device::injectInput(const std::vector<uint8_t>& bytes)
{
    device->inject(bytes);
}

void Device::setOutputHandler(OutputHandler handler)
{
    device->setOutputHandler(std::move(handler));
}

void Device::setGetReportHandler(GetReportHandler handler)
{
    device->setGetReportHandler(std::move(handler));
}

std::vector<Report> Device::sentReports() const
{
    return device->sentReports();
}

void Device::clearSentReports()
{
    device->clearSentReports();
}

int Device::openCount() const
{
    return device->openCount();
}

} // namespace platform::virtualhid
