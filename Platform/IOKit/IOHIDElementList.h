// A device object's elements and their latest values.
//
// The list keeps the parsed descriptor and makes the element objects when they
// are first asked for. Input reports update the values from any thread; the
// device object feeds them in as it takes them in.
#pragma once

#include "IOKit/HIDReportDescriptor.h"
#include "IOKit/Retained.h"

#include <IOKit/hid/IOHIDValue.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace platform
{

class ElementList : public std::enable_shared_from_this<ElementList>
{
public:
    // owner: the device object the elements answer IOHIDElementGetDevice with.
    ElementList(HIDReportDescriptor parsedDescriptor, IOHIDDeviceRef owner);

    bool reportsNumbered() const { return descriptor.reportsNumbered; }

    // A new array of the elements that match (all of them for null). May throw std::bad_alloc.
    Retained<CFArrayRef> copyMatching(CFDictionaryRef matching);
    // See IOHIDDeviceGetValue.
    IOReturn latestValue(IOHIDElementRef element, IOHIDValueRef* value);

    // One input report as the device sent it (led by its ID when reports are numbered).
    void takeReport(const uint8_t* bytes, size_t length);

    IOHIDDeviceRef device() const { return owner.load(); }
    // The device object is being destroyed: elements that outlive it have no device.
    void deviceGone() { owner.store(nullptr); }

private:
    struct Latest
    {
        int64_t value = 0;
        uint64_t timeStamp = 0;
        Retained<IOHIDValueRef> handedOut;
    };

    void makeObjectsLocked();

    const HIDReportDescriptor descriptor;
    std::atomic<IOHIDDeviceRef> owner;

    std::mutex lock;
    std::vector<Retained<IOHIDElementRef>> objects;
    std::vector<Latest> latest;
};

} // namespace platform
