#include "HidrawUdevContext.h"

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
} // namespace

UdevContext::Listing UdevContext::systemListing()
{
    return ::access("/run/udev/data", F_OK) == 0 ? Listing::initializedOnly : Listing::all;
}

std::shared_ptr<UdevContext> UdevContext::create(Listing listing)
{
    UdevPtr context(udev_new());
    if (context == nullptr)
        return nullptr;
    return std::shared_ptr<UdevContext>(new UdevContext(std::move(context), listing));
}

UdevContext::UdevContext(UdevPtr context, Listing deviceListing) : listing(deviceListing), udevContext(std::move(context))
{
}

std::vector<DeviceInfo> UdevContext::enumerateDevices()
{
    std::lock_guard guard(lock);
    std::vector<DeviceInfo> devices;
    UdevEnumeratePtr enumeration(udev_enumerate_new(udevContext.get()));
    if (enumeration == nullptr)
        return devices;
    udev_enumerate_add_match_subsystem(enumeration.get(), "hidraw");
    // A device udev is still working on may not have its access rule applied
    // yet; its "add" comes once udev is done.
    if (listing == Listing::initializedOnly)
        udev_enumerate_add_match_is_initialized(enumeration.get());
    udev_enumerate_scan_devices(enumeration.get());

    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get()))
    {
        UdevDevicePtr device(udev_device_new_from_syspath(udevContext.get(), udev_list_entry_get_name(entry)));
        if (device == nullptr)
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
