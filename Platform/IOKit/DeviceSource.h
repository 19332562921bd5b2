// The contract between the HID manager and the sources of devices.
//
// A source (the Linux hidraw devices, the in-memory virtual devices) lists its
// devices, tells the managers that follow it of arrivals and removals, and
// opens channels on a device for its reports. The HID manager and device
// objects know sources only through these classes, and the process's default
// source is the one new managers follow.
//
// Threads: every call below may come from any thread unless it says otherwise.
// A source never holds a lock of its own while it calls a listener or an input
// handler, and never calls back into the layer from inside a call the layer
// made to it (it posts to a run loop or watches a descriptor instead).
#pragma once

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFRunLoop.h>
#include <IOKit/IOReturn.h>
#include <IOKit/hid/IOHIDKeys.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace platform
{

// Receives one input report as the device sent it (led by its report ID when
// the device numbers its reports). Called on the run loop given to startInput.
using InputReportHandler = std::function<void(const uint8_t* bytes, size_t length)>;

// One open session on a device, held by one open device object. Each channel
// gets every input report of its device. Destroying it closes it, on any thread,
// also while another thread is inside setReport (which the caller keeps alive
// through its shared_ptr until it returns).
class DeviceChannel
{
public:
    virtual ~DeviceChannel() = default;

    // Starts delivering input reports to handler on runLoop's thread (a hidraw
    // channel watches its node there; the virtual one posts there) until
    // stopInput. A second start replaces the first.
    virtual void startInput(CFRunLoopRef runLoop, InputReportHandler handler) = 0;
    // Once it returns no delivery starts; one already running on the run loop's
    // thread may still finish when stopInput comes from another thread.
    virtual void stopInput() = 0;

    // Sends one report synchronously, bytes as IOHIDDeviceSetReport got them
    // (length > 0). kIOReturnSuccess, or kIOReturnNoDevice once the device is
    // gone, or the error the transfer met. Never blocks without bound.
    virtual IOReturn setReport(IOHIDReportType type, uint32_t reportID, const uint8_t* bytes, size_t length) = 0;
    // Reads one report into buffer, at most *length bytes; *length becomes the
    // number written. Errors as for setReport; kIOReturnUnsupported when the
    // device cannot answer.
    virtual IOReturn getReport(IOHIDReportType type, uint32_t reportID, uint8_t* buffer, size_t* length) = 0;
};

class SourceDevice
{
public:
    virtual ~SourceDevice() = default;

    // The device's properties ("VendorID", "LocationID", ...) as it arrived;
    // borrowed, never null, never changed afterwards.
    virtual CFDictionaryRef properties() const = 0;
    // The raw report descriptor; empty when it is not known.
    virtual std::vector<uint8_t> reportDescriptor() const = 0;
    // A new channel, or null with the reason in result (kIOReturnNoDevice once
    // removed, kIOReturnNotPrivileged without access, ...). May block briefly.
    virtual std::shared_ptr<DeviceChannel> open(IOReturn& result) = 0;
};

// What a manager learns from its source. A source reports a device's arrival
// before its removal, and updates what devices() lists before it reports.
class SourceListener
{
public:
    virtual ~SourceListener() = default;

    virtual void deviceArrived(const std::shared_ptr<SourceDevice>& device) = 0;
    virtual void deviceRemoved(const std::shared_ptr<SourceDevice>& device) = 0;
};

class DeviceSource
{
public:
    virtual ~DeviceSource() = default;

    // The devices present now, each the same object for as long as it stays.
    virtual std::vector<std::shared_ptr<SourceDevice>> devices() = 0;

    // Reports arrivals and removals to listener until unsubscribe (or until the
    // listener is gone). runLoop is where the listener's manager is scheduled,
    // null while it is not: a source that must watch a descriptor to learn of
    // changes watches it there. Called again whenever that run loop changes.
    virtual void subscribe(const std::shared_ptr<SourceListener>& listener, CFRunLoopRef runLoop) = 0;
    virtual void unsubscribe(const SourceListener* listener) = 0;
};

// The source that managers created from now on follow. Until a source is set
// it is the system's hidraw devices (one without devices where udev is missing).
std::shared_ptr<DeviceSource> defaultDeviceSource();
// Tests set the virtual source through platform::useVirtualDevices. Null sets
// a source without devices.
void setDefaultDeviceSource(std::shared_ptr<DeviceSource> source);

} // namespace platform
