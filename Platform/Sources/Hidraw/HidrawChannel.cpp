#include "HidrawChannel.h"

#include <sys/epoll.h>

namespace platform::hidraw
{

namespace
{
// The largest report hidraw hands out (the kernel's HID_MAX_BUFFER_SIZE).
constexpr size_t maxReportSize = 16384;
} // namespace

// What one startInput delivers to: it lives as long as a dispatch may still use it.
struct HidrawChannel::Reader
{
    InputReportHandler handler;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(maxReportSize);
    std::atomic<bool> active { true };
};

std::shared_ptr<HidrawChannel> HidrawChannel::open(const std::string& devnode, VanishHandler onVanish, int& error)
{
    std::shared_ptr<HidrawChannel> channel(new HidrawChannel(devnode, std::move(onVanish)));
    error = channel->node.open();
    return error == 0 ? channel : nullptr;
}

HidrawChannel::HidrawChannel(const std::string& devnode, VanishHandler vanishHandler)
    : node(devnode), onVanish(std::move(vanishHandler))
{
}

HidrawChannel::~HidrawChannel()
{
    stopInput();
}

void HidrawChannel::startInput(CFRunLoopRef runLoop, InputReportHandler handler)
{
    auto newReader = std::make_shared<Reader>();
    newReader->handler = std::move(handler);
    std::weak_ptr<HidrawChannel> weakSelf = weak_from_this();

    // Under the lock that close() takes too: the descriptor stays open while it is watched.
    std::lock_guard guard(inputLock);
    stopInputLocked();
    const int fd = node.descriptor();
    if (fd < 0 || runLoop == nullptr)
        return;
    inputWatch = runLoopWatch(runLoop, fd, EPOLLIN, [weakSelf, newReader](uint32_t events) {
        if (auto self = weakSelf.lock())
            self->readReport(*newReader, events);
    });
    if (inputWatch == 0)
        return;
    inputRunLoop = Retained<CFRunLoopRef>::retain(runLoop);
    reader = std::move(newReader);
}

void HidrawChannel::stopInput()
{
    std::lock_guard guard(inputLock);
    stopInputLocked();
}

void HidrawChannel::stopInputLocked()
{
    if (reader != nullptr)
        reader->active = false;
    if (inputWatch != 0)
        runLoopUnwatch(inputRunLoop.get(), inputWatch);
    inputWatch = 0;
    inputRunLoop = {};
    reader = nullptr;
}

// One report per wake-up: the watch is level-triggered, so the run loop comes
// back at once while more are waiting, and other work gets its turn in between.
void HidrawChannel::readReport(Reader& activeReader, uint32_t events)
{
    if (! activeReader.active)
        return;
    size_t length = 0;
    switch (node.read(activeReader.buffer.data(), activeReader.buffer.size(), length))
    {
        case HidrawNode::ReadStatus::report:
            activeReader.handler(activeReader.buffer.data(), length);
            break;
        case HidrawNode::ReadStatus::gone:
            nodeGone();
            break;
        case HidrawNode::ReadStatus::none:
            // A hung-up node has nothing left to read and never will have.
            if ((events & (EPOLLHUP | EPOLLERR)) != 0)
                nodeGone();
            break;
    }
}

// A failed node stays ready for good: watched on, it would spin the run loop
// whether or not anybody is left to close the channel.
void HidrawChannel::nodeGone()
{
    stopInput();
    onVanish();
}

IOReturn HidrawChannel::setReport(IOHIDReportType type, uint32_t reportID, const uint8_t* bytes, size_t length)
{
    if (type != kIOHIDReportTypeOutput)
        return kIOReturnUnsupported;
    if (reportID > 0xff || (bytes == nullptr && length > 0))
        return kIOReturnBadArgument;
    return node.write(static_cast<uint8_t>(reportID), bytes, length);
}

IOReturn HidrawChannel::getReport(IOHIDReportType, uint32_t, uint8_t*, size_t*)
{
    return kIOReturnUnsupported;
}

void HidrawChannel::close()
{
    std::lock_guard guard(inputLock);
    stopInputLocked();
    node.close();
}

} // namespace platform::hidraw
