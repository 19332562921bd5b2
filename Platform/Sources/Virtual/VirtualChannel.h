// One open session on a virtual device: what a device object holds while open.
#pragma once

#include "IOKit/DeviceSource.h"
#include "IOKit/Retained.h"

#include <memory>
#include <mutex>

namespace platform::virtualhid
{

class VirtualDevice;

class VirtualChannel final : public DeviceChannel, public std::enable_shared_from_this<VirtualChannel>
{
public:
    // attachment: the device's attachment the channel was opened in; it dies with it.
    VirtualChannel(std::shared_ptr<VirtualDevice> device, uint64_t attachment);

    uint64_t attachment() const { return openedIn; }

    void startInput(CFRunLoopRef runLoop, InputReportHandler handler) override;
    void stopInput() override;
    IOReturn setReport(IOHIDReportType type, uint32_t reportID, const uint8_t* bytes, size_t length) override;
    IOReturn getReport(IOHIDReportType type, uint32_t reportID, uint8_t* buffer, size_t* length) override;

    // Posts the report to the run loop that input goes to; dropped when there is none.
    void deliver(const std::shared_ptr<const std::vector<uint8_t>>& report);

private:
    void run(uint64_t inputSession, const std::vector<uint8_t>& report);

    const std::shared_ptr<VirtualDevice> device;
    const uint64_t openedIn;

    std::mutex lock;
    Retained<CFRunLoopRef> runLoop;
    std::shared_ptr<InputReportHandler> handler;
    // Counts starts and stops, so that a report posted before one is dropped.
    uint64_t session = 0;
};

} // namespace platform::virtualhid
