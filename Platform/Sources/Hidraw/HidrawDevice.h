// One hidraw node as a device of the HID managers.
#pragma once

#include "HidrawChannel.h"
#include "HidrawDeviceInfo.h"
#include "IOKit/DeviceSource.h"
#include "IOKit/Retained.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::hidraw
{

class HidrawDevice final : public SourceDevice, public std::enable_shared_from_this<HidrawDevice>
{
public:
    // Told, with the device's syspath, when an open node fails as an unplugged one does.
    using VanishHandler = std::function<void(const std::string& syspath)>;

    HidrawDevice(DeviceInfo info, VanishHandler onVanish);

    CFDictionaryRef properties() const override { return propertyDictionary.get(); }
    std::vector<uint8_t> reportDescriptor() const override { return info.reportDescriptor; }
    // Opens the node on every call: each channel reads every input report.
    std::shared_ptr<DeviceChannel> open(IOReturn& result) override;

    const std::string& syspath() const { return info.syspath; }

    // The device has gone: its channels close, and opening fails from now on.
    void markGone();
    bool isGone() const;
    // The last attempt to open the node failed (typically before udev's access rule applied).
    bool openFailed() const;

private:
    const DeviceInfo info;
    const Retained<CFDictionaryRef> propertyDictionary;
    const VanishHandler onVanish;

    mutable std::mutex lock;
    bool gone = false;
    bool lastOpenFailed = false;
    std::vector<std::weak_ptr<HidrawChannel>> channels;
};

} // namespace platform::hidraw
