#include "HidrawTestSupport.h"

#include "Sources/Hidraw/HidrawSource.h"

#include <CoreFoundation/CoreFoundation.h>
#include <Platform/RunLoop.h>

#include <chrono>
#include <poll.h>
#include <thread>

namespace kvxtest
{

HidrawTestbed* HidrawSuite::testbed = nullptr;

bool runUntil(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    CFRunLoopRef runLoop = CFRunLoopGetCurrent();
    pollfd ready { platform::runLoopDescriptor(runLoop), POLLIN, 0 };
    while (! done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        poll(&ready, 1, 10);
        platform::runLoopDispatch(runLoop);
    }
    return true;
}

bool eventually(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (! done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::optional<uint32_t> numberProperty(IOHIDDeviceRef device, const char* key)
{
    const auto value = IOHIDDeviceGetProperty(device, CFStringMakeConstantString(key));
    SInt32 number = 0;
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID()
        || ! CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &number))
        return std::nullopt;
    return static_cast<uint32_t>(number);
}

std::optional<std::string> stringProperty(IOHIDDeviceRef device, const char* key)
{
    const auto value = IOHIDDeviceGetProperty(device, CFStringMakeConstantString(key));
    char text[256];
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()
        || ! CFStringGetCString(static_cast<CFStringRef>(value), text, sizeof(text), kCFStringEncodingUTF8))
        return std::nullopt;
    return std::string(text);
}

bool hasProperty(IOHIDDeviceRef device, const char* key)
{
    return IOHIDDeviceGetProperty(device, CFStringMakeConstantString(key)) != nullptr;
}

//==============================================================================
OpenManager::OpenManager() : manager(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone))
{
    IOHIDManagerSetDeviceMatching(manager, nullptr);
    IOHIDManagerOpen(manager, kIOHIDOptionsTypeNone);
}

OpenManager::~OpenManager()
{
    IOHIDManagerClose(manager, kIOHIDOptionsTypeNone);
    CFRelease(manager);
}

std::vector<IOHIDDeviceRef> OpenManager::devices() const
{
    CFSetRef set = IOHIDManagerCopyDevices(manager);
    if (set == nullptr)
        return {};
    std::vector<const void*> values(static_cast<size_t>(CFSetGetCount(set)));
    CFSetGetValues(set, values.data());
    CFRelease(set);
    std::vector<IOHIDDeviceRef> devices;
    for (const void* value : values)
        devices.push_back(static_cast<IOHIDDeviceRef>(const_cast<void*>(value)));
    return devices;
}

IOHIDDeviceRef OpenManager::deviceWith(const char* key, uint32_t value) const
{
    for (IOHIDDeviceRef device : devices())
        if (numberProperty(device, key) == value)
            return device;
    return nullptr;
}

//==============================================================================
void HidrawSuite::SetUpTestSuite()
{
    testbed = new HidrawTestbed();
}

void HidrawSuite::TearDownTestSuite()
{
    delete testbed;
    testbed = nullptr;
}

void HidrawSuite::SetUp()
{
    auto source = platform::hidraw::createHidrawSource();
    ASSERT_NE(source, nullptr);
    platform::setDefaultDeviceSource(std::move(source));
}

void HidrawSuite::TearDown()
{
    testbed->unplugAll();
    platform::setDefaultDeviceSource(nullptr);
}

EmulatedHidDescription controllerOnPort(const std::string& portPath)
{
    EmulatedHidDescription description;
    description.name = "Maker KVX-TN";
    description.physicalPath = "usb-0000:00:14.0-" + portPath + "/input0";
    description.reportDescriptor = vendorReportDescriptor();
    description.usb = UsbPlacement {};
    description.usb->portPath = portPath;
    description.usb->manufacturer = "Maker";
    description.usb->product = "KVX-TN";
    description.usb->serial = "KVX0001";
    return description;
}

} // namespace kvxtest
