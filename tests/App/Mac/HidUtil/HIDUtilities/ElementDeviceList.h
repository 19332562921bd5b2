// The library's device list over virtual devices that have report descriptors.
#pragma once

#include "VirtualDeviceList.h"

#include <chrono>
#include <thread>

class ElementDeviceList : public VirtualDeviceList
{
protected:
    using Bytes = std::vector<uint8_t>;

    // Attaches a device with the descriptor, builds the list and returns the device.
    IOHIDDeviceRef attachDescribed(const Bytes& descriptor, platform::virtualhid::Properties& properties)
    {
        devices.push_back(std::make_unique<platform::virtualhid::Device>(properties, descriptor));
        devices.back()->attach();
        EXPECT_TRUE(HIDBuildDeviceList(0, 0));
        return HIDGetFirstDevice();
    }

    IOHIDDeviceRef attachDescribed(const Bytes& descriptor)
    {
        platform::virtualhid::Properties properties;
        return attachDescribed(descriptor, properties);
    }

    // Every element of the device in list order, mask 30 (all seven types).
    static std::vector<IOHIDElementRef> allElements(IOHIDDeviceRef device)
    {
        std::vector<IOHIDElementRef> elements;
        for (IOHIDElementRef element = HIDGetFirstDeviceElement(device, 30); element != nullptr;
             element = HIDGetNextDeviceElement(element, 30))
            elements.push_back(element);
        return elements;
    }

    // The layer takes reports in on a thread of its own: waits (up to a generous
    // limit that only a broken build reaches) until the element's physical value is expected.
    static bool waitForValue(IOHIDElementRef element, double expected)
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (IOHIDElement_GetValue(element, kIOHIDValueScaleTypePhysical) != expected)
        {
            if (std::chrono::steady_clock::now() > giveUp)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};
