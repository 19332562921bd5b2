// The device object behind an IOHIDDeviceRef.
//
// The CF object is a thin owner of a HIDDevice, whose state the run loop work
// reaches through weak references: a report posted for a device that is gone
// by the time it runs is dropped instead of touching freed memory. Sends hold
// the channel by a shared reference, so that a removal on another thread never
// frees it under them.
#pragma once

#include "CoreFoundation/Object.h"
#include "IOKit/DeviceSource.h"
#include "IOKit/IOHIDElementList.h"
#include "IOKit/Retained.h"

#include <IOKit/hid/IOHIDDevice.h>

#include <memory>
#include <mutex>
#include <vector>

namespace platform
{

class HIDDevice;
class QueueCollector;

// Who holds a device open: the device may be opened by both at once.
enum class DeviceOpener
{
    client,
    manager
};

// A new device object for a device of a source. Caller releases.
Retained<IOHIDDeviceRef> createDeviceObject(std::shared_ptr<SourceDevice> source);

// The device behind a reference, or null for null or a reference of another type.
HIDDevice* deviceObject(IOHIDDeviceRef device);

class HIDDevice : public std::enable_shared_from_this<HIDDevice>
{
public:
    HIDDevice(IOHIDDeviceRef owner, std::shared_ptr<SourceDevice> source);

    const std::shared_ptr<SourceDevice>& source() const { return sourceDevice; }
    // The device's elements, whose values follow the input reports while the device is open.
    ElementList& elements() const { return *elementList; }

    CFTypeRef property(CFStringRef key) const;
    bool setProperty(CFStringRef key, CFTypeRef value);

    IOReturn open(DeviceOpener opener);
    IOReturn close(DeviceOpener opener);

    void schedule(CFRunLoopRef runLoop);
    void unschedule(CFRunLoopRef runLoop);

    void setRemovalCallback(IOHIDCallback callback, void* context);
    void setInputReportCallback(uint8_t* buffer, CFIndex length, IOHIDReportCallback callback, void* context);

    IOReturn setReport(IOHIDReportType type, CFIndex reportID, const uint8_t* bytes, CFIndex length);
    IOReturn getReport(IOHIDReportType type, CFIndex reportID, uint8_t* buffer, CFIndex* length);

    // The element queues made on this device: each sees every input report the
    // device takes in, after the element values, on the thread that takes it in.
    void addQueue(std::shared_ptr<QueueCollector> queue);
    void removeQueue(const QueueCollector* queue);

    // The source lost the device: no more reports, and the removal callback is due.
    void markRemoved();
    // Makes the removal callback now if it is due on runLoop, the current
    // thread's: the manager calls it where the removal falls among its events,
    // so that nothing that happened later is told first.
    void deliverRemovalOn(CFRunLoopRef runLoop);
    // The CF object is being destroyed: nothing may call back with it any more.
    void ownerGone();

private:
    struct InputCallback
    {
        uint8_t* buffer = nullptr;
        CFIndex length = 0;
        IOHIDReportCallback function = nullptr;
        void* context = nullptr;
    };

    struct RemovalCallback
    {
        IOHIDCallback function = nullptr;
        void* context = nullptr;
    };

    InputReportHandler inputHandler();
    void deliverInput(const uint8_t* bytes, size_t length);
    std::shared_ptr<DeviceChannel> activeChannel(IOReturn& result);
    void feedQueues(const uint8_t* bytes, size_t length);

    using QueueList = std::vector<std::shared_ptr<QueueCollector>>;
    void postRemovalIfDue();
    void deliverRemoval(CFRunLoopRef postedTo);
    bool& openFlag(DeviceOpener opener);

    const std::shared_ptr<SourceDevice> sourceDevice;
    const std::shared_ptr<ElementList> elementList;
    const bool reportsNumbered;

    // Serialises open, close, scheduling and removal, which call the source.
    std::mutex transitionLock;
    // Guards the fields below; never held while calling a source or a callback.
    mutable std::mutex stateLock;
    IOHIDDeviceRef owner;
    Retained<CFMutableDictionaryRef> properties;
    std::shared_ptr<DeviceChannel> channel;
    Retained<CFRunLoopRef> runLoop;
    bool openedByClient = false;
    bool openedByManager = false;
    bool removed = false;
    bool removalPosted = false;
    bool removalDelivered = false;
    InputCallback inputCallback;
    RemovalCallback removalCallback;
    // Replaced whole on each change, so that a delivery reads it without copying.
    std::shared_ptr<const QueueList> queues;
};

} // namespace platform

struct IOHIDDeviceObject : platform::Object
{
    static CFTypeID typeID();

    explicit IOHIDDeviceObject(std::shared_ptr<platform::SourceDevice> source);
    ~IOHIDDeviceObject() override;

    const std::shared_ptr<platform::HIDDevice> device;
};
