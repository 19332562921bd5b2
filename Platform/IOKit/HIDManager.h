// The HID manager behind an IOHIDManagerRef.
//
// The manager follows its device source as a listener: an arrival or removal
// changes its set at once, under its lock, and queues an event; the events are
// announced on the manager's run loop in the order they happened. The queued
// events hold their device objects, so that a device outlives the callbacks
// that tell of it.
#pragma once

#include "CoreFoundation/Object.h"
#include "IOKit/DeviceMatching.h"
#include "IOKit/DeviceSource.h"
#include "IOKit/Retained.h"

#include <IOKit/hid/IOHIDManager.h>

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace platform
{

class HIDManager final : public SourceListener, public std::enable_shared_from_this<HIDManager>
{
public:
    HIDManager(IOHIDManagerRef owner, std::shared_ptr<DeviceSource> source);

    // Starts following the source; once, right after construction.
    void follow();
    // The CF object is being destroyed: stop following, let go of every device.
    void ownerGone();

    void setMatching(DeviceMatching matching);
    IOReturn open();
    IOReturn close();
    // Null when the set is empty.
    CFSetRef copyDevices() const;

    void setMatchingCallback(IOHIDDeviceCallback callback, void* context);
    void setRemovalCallback(IOHIDDeviceCallback callback, void* context);
    void schedule(CFRunLoopRef runLoop);
    void unschedule(CFRunLoopRef runLoop);

    void deviceArrived(const std::shared_ptr<SourceDevice>& device) override;
    void deviceRemoved(const std::shared_ptr<SourceDevice>& device) override;

private:
    // One device object of the set, shared with the events that tell of it.
    struct Member
    {
        std::shared_ptr<SourceDevice> source;
        Retained<IOHIDDeviceRef> device;
        bool announced = false;
        bool gone = false;
    };

    struct Event
    {
        bool arrival;
        std::shared_ptr<Member> member;
    };

    struct Callback
    {
        IOHIDDeviceCallback function = nullptr;
        void* context = nullptr;
    };

    // One event to tell, with the device it tells of kept alive until its
    // callbacks returned. A removal is told to the device's own removal
    // callback too, also when the manager has no callback due for it.
    struct Delivery
    {
        Callback callback;
        Retained<IOHIDDeviceRef> device;
        IOHIDManagerRef sender = nullptr;
        bool removal = false;
    };

    std::shared_ptr<Member> findMember(const SourceDevice* source) const;
    static std::shared_ptr<Member> makeMember(const std::shared_ptr<SourceDevice>& source);
    std::shared_ptr<Member> join(const std::shared_ptr<SourceDevice>& source);
    void postEventsIfDue();
    void deliverEvents(CFRunLoopRef postedTo);
    bool takeDelivery(CFRunLoopRef postedTo, Delivery& delivery);

    const std::shared_ptr<DeviceSource> source;

    // Serialises what changes the set or the opening; held while calling the source.
    std::mutex transitionLock;
    // Guards the fields below; never held while calling a source or a callback.
    mutable std::mutex stateLock;
    IOHIDManagerRef owner;
    DeviceMatching matching;
    std::vector<std::shared_ptr<Member>> members;
    std::deque<Event> events;
    bool isOpen = false;
    bool eventsPosted = false;
    Retained<CFRunLoopRef> runLoop;
    Callback matchingCallback;
    Callback removalCallback;
};

// The manager behind a reference, or null for null or a reference of another type.
HIDManager* managerObject(IOHIDManagerRef manager);

} // namespace platform

struct IOHIDManagerObject : platform::Object
{
    static CFTypeID typeID();

    explicit IOHIDManagerObject(std::shared_ptr<platform::DeviceSource> source);
    ~IOHIDManagerObject() override;

    const std::shared_ptr<platform::HIDManager> manager;
};
