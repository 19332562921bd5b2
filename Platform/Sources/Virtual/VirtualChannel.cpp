#include "Sources/Virtual/VirtualChannel.h"

#include "CoreFoundation/RunLoopObject.h"
#include "Sources/Virtual/VirtualDevice.h"

#include <algorithm>
#include <cstring>

namespace platform::virtualhid
{

VirtualChannel::VirtualChannel(std::shared_ptr<VirtualDevice> owner, uint64_t attachment)
    : device(std::move(owner)), openedIn(attachment)
{
}

void VirtualChannel::startInput(CFRunLoopRef newRunLoop, InputReportHandler newHandler)
{
    std::lock_guard<std::mutex> guard(lock);
    runLoop = Retained<CFRunLoopRef>::retain(newRunLoop);
    handler = std::make_shared<InputReportHandler>(std::move(newHandler));
    ++session;
}

void VirtualChannel::stopInput()
{
    std::lock_guard<std::mutex> guard(lock);
    runLoop = {};
    handler.reset();
    ++session;
}

IOReturn VirtualChannel::setReport(IOHIDReportType type, uint32_t reportID, const uint8_t* bytes, size_t length)
{
    return device->receive(*this, Report { type, reportID, std::vector<uint8_t>(bytes, bytes + length) });
}

IOReturn VirtualChannel::getReport(IOHIDReportType type, uint32_t reportID, uint8_t* buffer, size_t* length)
{
    Report request { type, reportID, {} };
    const IOReturn result = device->answer(*this, request);
    if (result != kIOReturnSuccess)
        return result;
    *length = std::min(*length, request.bytes.size());
    if (*length > 0)
        std::memcpy(buffer, request.bytes.data(), *length);
    return kIOReturnSuccess;
}

void VirtualChannel::deliver(const std::shared_ptr<const std::vector<uint8_t>>& report)
{
    // Posting under the lock keeps the run loop alive against a concurrent stopInput.
    std::lock_guard<std::mutex> guard(lock);
    if (!runLoop)
        return;
    runLoopPost(runLoop.get(), [weakChannel = weak_from_this(), inputSession = session, report]
                {
                    if (auto channel = weakChannel.lock())
                        channel->run(inputSession, *report);
                });
}

void VirtualChannel::run(uint64_t inputSession, const std::vector<uint8_t>& report)
{
    std::shared_ptr<InputReportHandler> target;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (inputSession != session || handler == nullptr)
            return;
        target = handler;
    }
    (*target)(report.data(), report.size());
}

} // namespace platform::virtualhid
