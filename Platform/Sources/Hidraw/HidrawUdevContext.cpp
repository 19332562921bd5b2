#include "HidrawUdevContext.h"

#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace platform::hidraw
{

namespace
{
std::optional<UdevEvent::Action> actionOf(udev_device* device)
{
    const std::string action = udev_device_get_action(device) != nullptr ? udev_device_get_action(device) : "";
    // udev announces a device again with "change" when its rules run once more
    // (a rule installed and triggered): a node refused before may open now.
    if (action == "add" || action == "change")
        return UdevEvent::Action::added;
    if (action == "remove")
        return UdevEvent::Action::removed;
    return std::nullopt;
}

// umockdev's preload shows libudev a testbed's /sys and /dev but leaves /run
// alone, so the host's udev database never holds a testbed's devices. Only the
// preload library loaded into this very process, with a testbed named, makes
// libudev see an emulated /sys: a real desktop never loads it, whereas an
// environment variable alone may be inherited from anywhere, and would list
// devices whose access rule udev has not applied yet.
bool seesUmockdevTestbed()
{
    void* preload = dlopen("libumockdev-preload.so.0", RTLD_LAZY | RTLD_NOLOAD);
    if (preload == nullptr)
        return false;
    dlclose(preload);
    return std::getenv("UMOCKDEV_DIR") != nullptr;
}
} // namespace

UdevContext::Listing UdevContext::systemListing()
{
    if (seesUmockdevTestbed() || ::access("/run/udev/data", F_OK) != 0)
        return Listing::all;
    return Listing::initializedOnly;
}

std::shared_ptr<UdevContext> UdevContext::create(Listing listing, InitializedCheck isInitialized)
{
    UdevPtr context(udev_new());
    if (context == nullptr)
        return nullptr;
    return std::shared_ptr<UdevContext>(new UdevContext(std::move(context), listing, isInitialized));
}

UdevContext::UdevContext(UdevPtr context, Listing deviceListing, InitializedCheck initializedCheck)
    : listing(deviceListing), isInitialized(initializedCheck), udevContext(std::move(context))
{
}

bool UdevContext::udevHasFinished(udev_device* device)
{
    return udev_device_get_is_initialized(device) > 0;
}

std::vector<DeviceInfo> UdevContext::enumerateDevices()
{
    std::lock_guard guard(lock);
    std::vector<DeviceInfo> devices;
    UdevEnumeratePtr enumeration(udev_enumerate_new(udevContext.get()));
    if (enumeration == nullptr)
        return devices;
    udev_enumerate_add_match_subsystem(enumeration.get(), "hidraw");
    udev_enumerate_scan_devices(enumeration.get());

    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get()))
    {
        UdevDevicePtr device(udev_device_new_from_syspath(udevContext.get(), udev_list_entry_get_name(entry)));
        if (device == nullptr)
            continue;
        // A device udev is still working on may not have its access rule
        // applied yet; its "add" comes once udev is done.
        if (listing == Listing::initializedOnly && ! isInitialized(device.get()))
            continue;
        if (auto info = readDeviceInfo(device.get()))
            devices.push_back(std::move(*info));
    }
    return devices;
}

std::unique_ptr<HidrawMonitor> UdevContext::createMonitor()
{
    std::lock_guard guard(lock);
    // "udev": events after udev's rules have run, so that the node's permissions are final.
    UdevMonitorPtr monitor(udev_monitor_new_from_netlink(udevContext.get(), "udev"));
    if (monitor == nullptr
        || udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0
        || udev_monitor_enable_receiving(monitor.get()) < 0)
        return nullptr;
    return std::unique_ptr<HidrawMonitor>(new HidrawMonitor(shared_from_this(), monitor.release()));
}

//==============================================================================
HidrawMonitor::HidrawMonitor(std::shared_ptr<UdevContext> owner, udev_monitor* udevMonitor)
    : context(std::move(owner)), monitor(udevMonitor), fd(udev_monitor_get_fd(udevMonitor))
{
}

HidrawMonitor::~HidrawMonitor()
{
    std::lock_guard guard(context->lock);
    udev_monitor_unref(monitor);
}

std::vector<UdevEvent> HidrawMonitor::receive()
{
    std::lock_guard guard(context->lock);
    std::vector<UdevEvent> events;
    while (UdevDevicePtr device { udev_monitor_receive_device(monitor) })
    {
        const auto action = actionOf(device.get());
        if (! action)
            continue;
        UdevEvent event { *action, udev_device_get_syspath(device.get()), std::nullopt };
        if (*action == UdevEvent::Action::added)
            event.info = readDeviceInfo(device.get());
        events.push_back(std::move(event));
    }
    return events;
}

} // namespace platform::hidraw
