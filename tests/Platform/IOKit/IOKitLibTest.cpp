#include "Platform/IOKit/HIDTestSupport.h"

#include <IOKit/IOKitLib.h>

namespace
{
using namespace platformtest;

// The device-properties code finds a device's registry service by its location.
class IOKitRegistry : public VirtualDevicesTest
{
protected:
    IOKitRegistry() { device->attach(); }

    static io_service_t serviceAt(int location)
    {
        CFMutableDictionaryRef matching = IOServiceMatching(kIOHIDDeviceKey);
        CFDictionarySetValue(matching, CFSTR(kIOHIDLocationIDKey), number(location).get());
        return IOServiceGetMatchingService(kIOMasterPortDefault, matching);
    }

    std::unique_ptr<platform::virtualhid::Device> device = makeDevice(0x01230000);
};

TEST_F(IOKitRegistry, ServiceIsFoundByLocationAndReleasedOnce)
{
    const io_service_t service = serviceAt(0x01230000);
    EXPECT_NE(service, 0u);
    EXPECT_EQ(IOObjectRelease(service), kIOReturnSuccess);
    EXPECT_EQ(IOObjectRelease(service), kIOReturnBadArgument);
    EXPECT_EQ(IOObjectRelease(0), kIOReturnBadArgument);
}

TEST_F(IOKitRegistry, NoServiceForAnUnknownLocationOrADetachedDevice)
{
    EXPECT_EQ(serviceAt(0x01240000), 0u);
    device->detach();
    EXPECT_EQ(serviceAt(0x01230000), 0u);
}

TEST_F(IOKitRegistry, OnlyTheHIDDeviceClassIsKnown)
{
    CFMutableDictionaryRef matching = IOServiceMatching("IOUSBDevice");
    CFDictionarySetValue(matching, CFSTR(kIOHIDLocationIDKey), number(0x01230000).get());
    EXPECT_EQ(IOServiceGetMatchingService(kIOMasterPortDefault, matching), 0u);
    EXPECT_EQ(IOServiceGetMatchingService(kIOMasterPortDefault, nullptr), 0u);
    EXPECT_EQ(IOServiceMatching(nullptr), nullptr);
}
} // namespace
