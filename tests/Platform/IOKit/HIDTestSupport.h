// Test helpers for the HID manager over virtual devices.
#pragma once

#include "IOKit/Retained.h"
#include "Platform/IOKit/RunLoopThread.h"

#include <IOKit/hid/IOHIDLib.h>
#include <Platform/VirtualHID.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace platformtest
{

using platform::Retained;

inline Retained<CFNumberRef> number(int value)
{
    return Retained<CFNumberRef>::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &value));
}

inline Retained<CFStringRef> string(const char* text)
{
    return Retained<CFStringRef>::adopt(CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8));
}

// {"PrimaryUsagePage": 1, "PrimaryUsage": 6} and the like.
inline Retained<CFDictionaryRef> numbers(std::initializer_list<std::pair<const char*, int>> entries)
{
    auto dictionary = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                &kCFTypeDictionaryValueCallBacks);
    for (const auto& [key, value] : entries)
        CFDictionarySetValue(dictionary, string(key).get(), number(value).get());
    return Retained<CFDictionaryRef>::adopt(dictionary);
}

inline long numberProperty(IOHIDDeviceRef device, const char* key)
{
    auto value = IOHIDDeviceGetProperty(device, string(key).get());
    long result = -1;
    if (value == nullptr || !CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberLongType, &result))
        return -1;
    return result;
}

// The devices of a manager, as their "LocationID"s in ascending order.
inline std::vector<long> locationsOf(IOHIDManagerRef manager)
{
    std::vector<long> locations;
    auto devices = Retained<CFSetRef>::adopt(IOHIDManagerCopyDevices(manager));
    if (!devices)
        return locations;
    std::vector<const void*> values(static_cast<size_t>(CFSetGetCount(devices.get())));
    CFSetGetValues(devices.get(), values.data());
    for (auto device : values)
        locations.push_back(numberProperty(static_cast<IOHIDDeviceRef>(const_cast<void*>(device)), kIOHIDLocationIDKey));
    std::sort(locations.begin(), locations.end());
    return locations;
}

// The manager's device at a location, or null.
inline IOHIDDeviceRef deviceAt(IOHIDManagerRef manager, long location)
{
    auto devices = Retained<CFSetRef>::adopt(IOHIDManagerCopyDevices(manager));
    if (!devices)
        return nullptr;
    std::vector<const void*> values(static_cast<size_t>(CFSetGetCount(devices.get())));
    CFSetGetValues(devices.get(), values.data());
    for (auto value : values)
    {
        auto device = static_cast<IOHIDDeviceRef>(const_cast<void*>(value));
        if (numberProperty(device, kIOHIDLocationIDKey) == location)
            return device; // the manager keeps it alive
    }
    return nullptr;
}

// A virtual device with a location (to tell devices apart) and optional usages.
inline std::unique_ptr<platform::virtualhid::Device> makeDevice(long location, int usagePage = 0, int usage = 0)
{
    platform::virtualhid::Properties properties;
    properties.setNumber(kIOHIDLocationIDKey, location);
    if (usagePage != 0)
        properties.setNumber(kIOHIDPrimaryUsagePageKey, usagePage).setNumber(kIOHIDPrimaryUsageKey, usage);
    return std::make_unique<platform::virtualhid::Device>(properties);
}

// What the callbacks of the layer told, and on which thread.
class Recorder
{
public:
    struct Event
    {
        std::string kind;
        IOHIDDeviceRef device;
        std::thread::id thread;
    };

    struct Input
    {
        std::vector<uint8_t> landed; // what the buffer held, up to the report's length
        CFIndex reportedLength;
        uint32_t reportID;
        std::thread::id thread;
    };

    static void matched(void* context, IOReturn, void*, IOHIDDeviceRef device)
    {
        static_cast<Recorder*>(context)->add({ "matched", device, std::this_thread::get_id() });
    }

    static void managerRemoved(void* context, IOReturn, void*, IOHIDDeviceRef device)
    {
        static_cast<Recorder*>(context)->add({ "managerRemoved", device, std::this_thread::get_id() });
    }

    static void deviceRemoved(void* context, IOReturn, void* sender)
    {
        static_cast<Recorder*>(context)->add({ "deviceRemoved", static_cast<IOHIDDeviceRef>(sender),
                                               std::this_thread::get_id() });
    }

    static void input(void* context, IOReturn, void*, IOHIDReportType, uint32_t reportID, uint8_t* report,
                      CFIndex length)
    {
        auto& self = *static_cast<Recorder*>(context);
        const auto landed = std::min<CFIndex>(length, static_cast<CFIndex>(sizeof self.buffer));
        std::lock_guard<std::mutex> guard(self.lock);
        self.inputs.push_back({ std::vector<uint8_t>(report, report + landed), length, reportID,
                                std::this_thread::get_id() });
    }

    std::vector<Event> events() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return recorded;
    }

    std::vector<std::string> kinds() const
    {
        std::vector<std::string> result;
        for (const auto& event : events())
            result.push_back(event.kind);
        return result;
    }

    std::vector<Input> reports() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return inputs;
    }

    // The input buffer handed to IOHIDDeviceRegisterInputReportCallback.
    uint8_t buffer[16] {};

private:
    void add(Event event)
    {
        std::lock_guard<std::mutex> guard(lock);
        recorded.push_back(std::move(event));
    }

    mutable std::mutex lock;
    std::vector<Event> recorded;
    std::vector<Input> inputs;
};

// Every test of the manager runs over the virtual devices only. Callbacks that
// the test leaves pending (a device destroyed at the end of the test body
// detaches) run in TearDown, while the recorder still lives.
class VirtualDevicesTest : public ::testing::Test
{
protected:
    void TearDown() override { drainRunLoop(CFRunLoopGetMain()); }

    static Retained<IOHIDManagerRef> createManager()
    {
        platform::useVirtualDevices();
        return Retained<IOHIDManagerRef>::adopt(IOHIDManagerCreate(kCFAllocatorDefault, 0));
    }

    Recorder recorder;
    Retained<IOHIDManagerRef> manager = createManager();
};

} // namespace platformtest
