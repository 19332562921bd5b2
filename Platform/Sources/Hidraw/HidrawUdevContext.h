// All of the hidraw source's use of libudev. A udev context and everything made
// from it must be used by one thread at a time, and the source is called from
// several: every call here holds the context's lock.
#pragma once

#include "HidrawDeviceInfo.h"
#include "HidrawUdev.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::hidraw
{

struct UdevEvent
{
    // added: "add", or "change" for a device udev processed again.
    enum class Action { added, removed };

    Action action;
    std::string syspath;
    // Arrivals only: nothing when the device is gone again already or has no hid parent.
    std::optional<DeviceInfo> info;
};

class UdevContext;

// A udev monitor for hidraw arrivals and removals, receiving from its creation on.
class HidrawMonitor
{
public:
    ~HidrawMonitor();
    HidrawMonitor(const HidrawMonitor&) = delete;
    HidrawMonitor& operator=(const HidrawMonitor&) = delete;

    // Non-blocking; polls readable while events wait.
    int descriptor() const { return fd; }
    // Every event waiting now, oldest first.
    std::vector<UdevEvent> receive();

private:
    friend class UdevContext;
    HidrawMonitor(std::shared_ptr<UdevContext> context, udev_monitor* monitor);

    const std::shared_ptr<UdevContext> context;
    udev_monitor* const monitor;
    const int fd;
};

class UdevContext : public std::enable_shared_from_this<UdevContext>
{
public:
    // Which devices enumeration lists.
    enum class Listing
    {
        initializedOnly, // those udev has finished with: their access rules apply
        all
    };
    // initializedOnly where udev keeps its database; without one (no udev
    // running), or for a umockdev testbed's devices, which the host's database
    // never holds, no device would ever count as finished.
    static Listing systemListing();

    // Whether udev has finished with a device, for Listing::initializedOnly.
    using InitializedCheck = bool (*)(udev_device* device);

    // Null when libudev cannot make a context. Tests answer isInitialized for
    // their emulated devices, whose database entries libudev would look up on the host.
    static std::shared_ptr<UdevContext> create(Listing listing = systemListing(),
                                               InitializedCheck isInitialized = udevHasFinished);

    std::vector<DeviceInfo> enumerateDevices();
    // Null when the netlink socket cannot be opened (errno tells why).
    std::unique_ptr<HidrawMonitor> createMonitor();

private:
    friend class HidrawMonitor;
    UdevContext(UdevPtr context, Listing listing, InitializedCheck isInitialized);
    static bool udevHasFinished(udev_device* device);

    const Listing listing;
    const InitializedCheck isInitialized;
    std::mutex lock;
    UdevPtr udevContext;
};

} // namespace platform::hidraw
