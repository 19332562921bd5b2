#include "HidrawDeviceInfo.h"

#include "HidrawLocation.h"
#include "HidrawSysfs.h"
#include "HidrawUsbDescriptors.h"

#include <sstream>

namespace platform::hidraw
{

namespace
{
// Bus types of the kernel's HID_ID (linux/input.h).
constexpr uint32_t busUSB = 0x03;
constexpr uint32_t busBluetooth = 0x05;
constexpr uint32_t busVirtual = 0x06;
constexpr uint32_t busI2C = 0x18;
constexpr uint32_t busSPI = 0x1c;

struct HidIdentity
{
    uint32_t bus = 0;
    uint32_t vendor = 0;
    uint32_t product = 0;
};

// "0003:00001209:0000000E": bus, vendor and product in hexadecimal.
std::optional<HidIdentity> parseHidID(const char* text)
{
    if (text == nullptr)
        return std::nullopt;
    std::istringstream stream(text);
    std::string field[3];
    std::optional<uint32_t> value[3];
    for (int i = 0; i < 3; ++i)
        if (std::getline(stream, field[i], ':'))
            value[i] = parseUnsigned(field[i].c_str(), 16);
    if (! value[0] || ! value[1] || ! value[2] || ! stream.eof())
        return std::nullopt;
    return HidIdentity { *value[0], *value[1], *value[2] };
}

std::optional<std::string> transportName(uint32_t bus)
{
    switch (bus)
    {
        case busUSB:       return "USB";
        case busBluetooth: return "Bluetooth";
        case busVirtual:   return "Virtual";
        case busI2C:       return "I2C";
        case busSPI:       return "SPI";
        default:           return std::nullopt;
    }
}

const char* property(udev_device* device, const char* key)
{
    return udev_device_get_property_value(device, key);
}

const char* attribute(udev_device* device, const char* name)
{
    return device == nullptr ? nullptr : udev_device_get_sysattr_value(device, name);
}

void readUsbDevice(udev_device* hidraw, DeviceInfo& info)
{
    udev_device* usbDevice = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
    udev_device* usbInterface = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_interface");
    if (usbDevice == nullptr)
        return;

    info.versionNumber = parseUnsigned(attribute(usbDevice, "bcdDevice"), 16);
    info.manufacturer = nonEmpty(attribute(usbDevice, "manufacturer"));
    info.product = nonEmpty(attribute(usbDevice, "product"));
    info.serialNumber = nonEmpty(attribute(usbDevice, "serial"));

    const auto bus = parseUnsigned(attribute(usbDevice, "busnum"), 10);
    const char* devpath = attribute(usbDevice, "devpath");
    if (bus && devpath != nullptr)
        info.locationID = usbLocationID(*bus, devpath);

    const auto interfaceNumber = parseUnsigned(attribute(usbInterface, "bInterfaceNumber"), 16);
    if (interfaceNumber)
        info.countryCode = hidCountryCode(
            readBinaryFile(std::string(udev_device_get_syspath(usbDevice)) + "/descriptors"), *interfaceNumber);
}

void readOtherBus(udev_device* hid, DeviceInfo& info)
{
    const char* physicalPath = property(hid, "HID_PHYS");
    const char* uniqueID = property(hid, "HID_UNIQ");
    info.product = nonEmpty(property(hid, "HID_NAME"));
    info.serialNumber = nonEmpty(uniqueID);
    info.locationID = hashedLocationID(physicalPath ? physicalPath : "", uniqueID ? uniqueID : "");
}
} // namespace

std::optional<DeviceInfo> readDeviceInfo(udev_device* hidraw)
{
    const char* devnode = udev_device_get_devnode(hidraw);
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    if (devnode == nullptr || hid == nullptr)
        return std::nullopt;

    DeviceInfo info;
    info.syspath = udev_device_get_syspath(hidraw);
    info.devnode = devnode;
    info.reportDescriptor = readBinaryFile(std::string(udev_device_get_syspath(hid)) + "/report_descriptor");

    const auto identity = parseHidID(property(hid, "HID_ID"));
    if (identity)
    {
        info.vendorID = identity->vendor;
        info.productID = identity->product;
        info.transport = transportName(identity->bus);
    }
    if (identity && identity->bus == busUSB)
        readUsbDevice(hidraw, info);
    else
        readOtherBus(hid, info);
    return info;
}

} // namespace platform::hidraw
