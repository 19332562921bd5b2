// A virtual device as the device source presents it to the HID manager.
#pragma once

#include "IOKit/DeviceSource.h"
#include "IOKit/Retained.h"

#include <Platform/VirtualHID.h>

#include <memory>
#include <mutex>
#include <vector>

namespace platform::virtualhid
{

class VirtualChannel;

class VirtualDevice final : public SourceDevice, public std::enable_shared_from_this<VirtualDevice>
{
public:
    VirtualDevice(CFDictionaryRef properties, std::vector<uint8_t> reportDescriptor);

    CFDictionaryRef properties() const override { return deviceProperties.get(); }
    std::vector<uint8_t> reportDescriptor() const override { return descriptor; }
    std::shared_ptr<DeviceChannel> open(IOReturn& result) override;

    // The source's side: false when the device already was in that state.
    bool plugIn();
    // Every channel dies with the attachment: its sends fail from now on.
    bool unplug();
    bool isAttached() const;

    void inject(std::vector<uint8_t> report);
    // A channel's send and get-report requests.
    IOReturn receive(const VirtualChannel& from, Report report);
    IOReturn answer(const VirtualChannel& from, Report& request);

    void setOutputHandler(OutputHandler handler);
    void setGetReportHandler(GetReportHandler handler);
    std::vector<Report> sentReports() const;
    void clearSentReports();
    int openCount() const;

private:
    bool isLive(const VirtualChannel& channel) const;

    const Retained<CFDictionaryRef> deviceProperties;
    const std::vector<uint8_t> descriptor;

    mutable std::mutex lock;
    bool attached = false;
    // Counts attachments: a channel belongs to the one it was opened in.
    uint64_t attachment = 0;
    std::vector<std::weak_ptr<VirtualChannel>> channels;
    std::vector<Report> sent;
    OutputHandler outputHandler;
    GetReportHandler getReportHandler;
};

} // namespace platform::virtualhid
