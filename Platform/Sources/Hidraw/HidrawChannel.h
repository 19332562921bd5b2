// An open session on a hidraw device: its own descriptor of the node, read on
// the run loop where input was started, written from any thread.
#pragma once

#include "HidrawNode.h"
#include "IOKit/DeviceSource.h"
#include "IOKit/Retained.h"

#include <CoreFoundation/RunLoopObject.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace platform::hidraw
{

class HidrawChannel final : public DeviceChannel, public std::enable_shared_from_this<HidrawChannel>
{
public:
    // Called on the reading run loop when the node fails as an unplugged one does.
    using VanishHandler = std::function<void()>;

    // Opens the node: null with the errno in error when it cannot.
    static std::shared_ptr<HidrawChannel> open(const std::string& devnode, VanishHandler onVanish, int& error);
    ~HidrawChannel() override;

    void startInput(CFRunLoopRef runLoop, InputReportHandler handler) override;
    void stopInput() override;
    IOReturn setReport(IOHIDReportType type, uint32_t reportID, const uint8_t* bytes, size_t length) override;
    IOReturn getReport(IOHIDReportType type, uint32_t reportID, uint8_t* buffer, size_t* length) override;

    // The device has gone: input stops and every later send fails with kIOReturnNoDevice.
    void close();

private:
    struct Reader;

    HidrawChannel(const std::string& devnode, VanishHandler onVanish);
    void stopInputLocked();
    void readReport(Reader& reader, uint32_t events);
    void nodeGone();

    HidrawNode node;
    const VanishHandler onVanish;

    std::mutex inputLock;
    Retained<CFRunLoopRef> inputRunLoop;
    WatchID inputWatch = 0;
    std::shared_ptr<Reader> reader;
};

} // namespace platform::hidraw
