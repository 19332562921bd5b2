// Devices with report descriptors, opened through a manager, for the element and value tests.
#pragma once

#include "IOKit/IOHIDValueInputThread.h"
#include "Platform/IOKit/HIDTestSupport.h"

#include "CoreFoundation/RunLoopObject.h"

#include <future>
#include <memory>

namespace platformtest
{

using Bytes = std::vector<uint8_t>;

// The device's elements in list order.
inline std::vector<IOHIDElementRef> elementsOf(IOHIDDeviceRef device)
{
    std::vector<IOHIDElementRef> elements;
    auto array = Retained<CFArrayRef>::adopt(IOHIDDeviceCopyMatchingElements(device, nullptr, 0));
    if (!array)
        return elements;
    for (CFIndex i = 0; i < CFArrayGetCount(array.get()); ++i)
        elements.push_back(static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(array.get(), i))));
    return elements;
}

// Everything the layer's value thread was handed before this call has run when it returns.
inline void settleValueThread()
{
    // Shared with the task, which may still be inside set_value when the wait returns.
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    platform::runLoopPost(platform::valueInputRunLoop(), [done] { done->set_value(); });
    finished.wait();
}

class DevicesWithDescriptors : public VirtualDevicesTest
{
protected:
    // Attaches a device with the descriptor at the location and returns its
    // object, opened by the manager and scheduled nowhere.
    IOHIDDeviceRef attach(const Bytes& descriptor, long location = 1)
    {
        platform::virtualhid::Properties properties;
        properties.setNumber(kIOHIDLocationIDKey, location);
        virtualDevices.push_back(std::make_unique<platform::virtualhid::Device>(properties, descriptor));
        virtualDevices.back()->attach();
        IOHIDManagerSetDeviceMatching(manager.get(), nullptr);
        EXPECT_EQ(IOHIDManagerOpen(manager.get(), 0), kIOReturnSuccess);
        return deviceAt(manager.get(), location);
    }

    // Injects the report into the device attached last and waits until the layer took it in.
    void inject(const Bytes& report)
    {
        virtualDevices.back()->injectInput(report);
        settleValueThread();
    }

    std::vector<std::unique_ptr<platform::virtualhid::Device>> virtualDevices;
};

} // namespace platformtest
