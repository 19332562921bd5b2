#include "CoreFoundation/Object.h"
#include "IOKit/DeviceMatching.h"
#include "IOKit/DeviceSource.h"

#include <IOKit/IOKitLib.h>
#include <IOKit/hid/IOHIDKeys.h>

#include <map>
#include <mutex>

#define kIOProviderClassKey "IOProviderClass"

namespace
{
// The services handed out, by handle. A handle names the device it was found
// for; the registry keeps nothing else of it.
struct ServiceHandles
{
    std::mutex lock;
    std::map<io_object_t, std::shared_ptr<platform::SourceDevice>> live;
    io_object_t lastHandle = 0;

    io_object_t add(std::shared_ptr<platform::SourceDevice> device)
    {
        std::lock_guard<std::mutex> guard(lock);
        do
            ++lastHandle;
        while (lastHandle == 0 || live.count(lastHandle) != 0);
        live.emplace(lastHandle, std::move(device));
        return lastHandle;
    }

    bool remove(io_object_t handle)
    {
        std::lock_guard<std::mutex> guard(lock);
        return live.erase(handle) != 0;
    }
};

ServiceHandles& serviceHandles()
{
    static ServiceHandles handles;
    return handles;
}

bool isProviderClassKey(const void* key)
{
    return CFEqual(key, CFSTR(kIOProviderClassKey));
}

bool asksForHIDDevices(CFDictionaryRef matching)
{
    auto providerClass = CFDictionaryGetValue(matching, CFSTR(kIOProviderClassKey));
    return providerClass != nullptr && CFEqual(providerClass, CFSTR(kIOHIDDeviceKey));
}

io_service_t findMatchingService(CFDictionaryRef matching)
{
    if (CFGetTypeID(matching) != CFDictionaryGetTypeID() || !asksForHIDDevices(matching))
        return 0;
    for (auto& device : platform::defaultDeviceSource()->devices())
        if (platform::holdsAll(matching, device->properties(), isProviderClassKey))
            return serviceHandles().add(std::move(device));
    return 0;
}
} // namespace

CFMutableDictionaryRef IOServiceMatching(const char* name)
{
    if (name == nullptr)
        return nullptr;
    auto className = platform::Retained<CFStringRef>::adopt(
        CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8));
    if (!className)
        return nullptr;
    auto matching = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                              &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(matching, CFSTR(kIOProviderClassKey), className.get());
    return matching;
}

io_service_t IOServiceGetMatchingService(mach_port_t, CFDictionaryRef matching)
{
    if (matching == nullptr)
        return 0;
    auto consumed = platform::Retained<CFDictionaryRef>::adopt(matching);
    return platform::noThrow<io_service_t>(0, [&] { return findMatchingService(consumed.get()); });
}

kern_return_t IOObjectRelease(io_object_t object)
{
    return serviceHandles().remove(object) ? kIOReturnSuccess : kIOReturnBadArgument;
}
