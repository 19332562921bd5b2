// Owning handles for the libudev objects of the hidraw source.
#pragma once

#include <libudev.h>

#include <memory>

namespace platform::hidraw
{

template <typename T, T* (*unref)(T*)>
struct UdevUnref
{
    void operator()(T* object) const { unref(object); }
};

using UdevPtr = std::unique_ptr<udev, UdevUnref<udev, udev_unref>>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevUnref<udev_device, udev_device_unref>>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevUnref<udev_enumerate, udev_enumerate_unref>>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevUnref<udev_monitor, udev_monitor_unref>>;

} // namespace platform::hidraw
