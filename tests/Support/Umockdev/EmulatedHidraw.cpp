#include "Support/Umockdev/EmulatedHidraw.h"

#include <umockdev.h>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace kvxtest
{

namespace
{
constexpr int hidrawMajor = 240;

std::string hex(const std::vector<uint8_t>& bytes)
{
    std::string text;
    char digits[3];
    for (const uint8_t byte : bytes)
    {
        std::snprintf(digits, sizeof(digits), "%02X", byte);
        text += digits;
    }
    return text;
}

std::string format(const char* pattern, unsigned int a, unsigned int b = 0, unsigned int c = 0, unsigned int d = 0)
{
    char text[128];
    std::snprintf(text, sizeof(text), pattern, a, b, c, d);
    return text;
}

// One device of a umockdev description: its path, then E:/A:/H:/N: lines.
struct DeviceText
{
    std::string path;
    std::string lines;

    DeviceText& line(const char* kind, const std::string& name, const std::string& value)
    {
        if (! value.empty())
            lines += std::string(kind) + ": " + name + "=" + value + "\n";
        return *this;
    }
    std::string text() const { return "P: " + path + "\n" + lines + "\n"; }
};

std::string usbParentText(const EmulatedHidDescription& description, std::string& interfacePath, std::string& top)
{
    const UsbPlacement& usb = *description.usb;
    const std::string name = std::to_string(usb.busNumber) + "-" + usb.portPath;
    top = "/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(usb.busNumber) + "/" + name;
    interfacePath = top + "/" + name + ":1." + std::to_string(usb.interfaceNumber);

    DeviceText device { top, "" };
    device.line("E", "SUBSYSTEM", "usb").line("E", "DEVTYPE", "usb_device")
        .line("A", "busnum", std::to_string(usb.busNumber)).line("A", "devpath", usb.portPath)
        .line("A", "idVendor", format("%04x", description.vendorID))
        .line("A", "idProduct", format("%04x", description.productID))
        .line("A", "bcdDevice", format("%04x", usb.bcdDevice))
        .line("A", "manufacturer", usb.manufacturer).line("A", "product", usb.product)
        .line("A", "serial", usb.serial).line("H", "descriptors", hex(usb.rawDescriptors));
    DeviceText interface { interfacePath, "" };
    interface.line("E", "SUBSYSTEM", "usb").line("E", "DEVTYPE", "usb_interface")
        .line("A", "bInterfaceClass", "03").line("A", "bInterfaceNumber", format("%02x", usb.interfaceNumber));
    return device.text() + interface.text();
}
} // namespace

std::vector<uint8_t> vendorReportDescriptor(uint8_t inputSize, uint8_t outputSize)
{
    return { 0x06, 0x00, 0xFF,       // usage page 0xFF00
             0x09, 0x01,             // usage 1
             0xA1, 0x01,             // application collection
             0x15, 0x00,             // logical minimum 0
             0x26, 0xFF, 0x00,       // logical maximum 255
             0x75, 0x08,             // report size 8 bits
             0x95, inputSize,        // report count
             0x09, 0x20, 0x81, 0x02, // input (data, variable, absolute)
             0x95, outputSize,
             0x09, 0x21, 0x91, 0x02, // output (data, variable, absolute)
             0xC0 };
}

//==============================================================================
void EmulatedHidraw::sendInputReport(const std::vector<uint8_t>& report)
{
    std::lock_guard guard(lock);
    inputQueue.push_back(report);
    signalReadable();
}

void EmulatedHidraw::setOutputHandler(OutputHandler newHandler)
{
    std::lock_guard guard(lock);
    outputHandler = std::move(newHandler);
}

std::vector<std::vector<uint8_t>> EmulatedHidraw::outputReports() const
{
    std::lock_guard guard(lock);
    return written;
}

void EmulatedHidraw::failNode(int error)
{
    std::lock_guard guard(lock);
    failure = error;
    signalReadable();
}

void EmulatedHidraw::closeFlushDescriptor()
{
    std::lock_guard guard(lock);
    if (flushFd >= 0)
        ::close(flushFd);
    flushFd = -1;
}

// poll() on the node is not forwarded to the handler: it polls the pty behind
// it. A marker byte in the pty makes it readable while reports are queued.
void EmulatedHidraw::signalReadable()
{
    if (markerPending)
        return;
    const char marker = '!';
    if (::write(masterFd, &marker, 1) == 1)
        markerPending = true;
}

bool EmulatedHidraw::handleRead(void* clientPointer)
{
    auto* client = static_cast<UMockdevIoctlClient*>(clientPointer);
    UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    std::lock_guard guard(lock);
    if (failure != 0 || inputQueue.empty())
    {
        umockdev_ioctl_client_complete(client, -1, failure != 0 ? failure : EAGAIN);
        return true;
    }
    std::vector<uint8_t> report = std::move(inputQueue.front());
    inputQueue.pop_front();
    if (inputQueue.empty())
    {
        if (flushFd >= 0)
            tcflush(flushFd, TCIFLUSH);
        markerPending = false;
    }
    const size_t length = std::min(report.size(), static_cast<size_t>(buffer->data_len));
    umockdev_ioctl_data_update(buffer, 0, report.data(), static_cast<int>(length));
    umockdev_ioctl_client_complete(client, static_cast<long>(length), 0);
    return true;
}

bool EmulatedHidraw::handleWrite(void* clientPointer)
{
    auto* client = static_cast<UMockdevIoctlClient*>(clientPointer);
    UMockdevIoctlData* data = umockdev_ioctl_client_get_arg(client);
    std::vector<uint8_t> report(data->data, data->data + data->data_len);
    OutputHandler handlerCopy;
    {
        std::lock_guard guard(lock);
        if (failure != 0)
        {
            umockdev_ioctl_client_complete(client, -1, failure == EIO ? ENODEV : failure);
            return true;
        }
        written.push_back(report);
        handlerCopy = outputHandler;
    }
    umockdev_ioctl_client_complete(client, data->data_len, 0);
    if (handlerCopy)
        handlerCopy(report);
    return true;
}

//==============================================================================
HidrawTestbed::HidrawTestbed() : testbed(umockdev_testbed_new())
{
    if (! umockdev_in_mock_environment() && getenv("LD_PRELOAD") == nullptr)
        std::fprintf(stderr, "HidrawTestbed: run the tests under umockdev-wrapper\n");
}

HidrawTestbed::~HidrawTestbed()
{
    for (auto& device : devices)
    {
        umockdev_testbed_detach_ioctl(testbed, device->node.c_str(), nullptr);
        g_object_unref(device->handler);
        device->closeFlushDescriptor();
    }
    devices.clear();
    g_object_unref(testbed);
}

std::string HidrawTestbed::rootDir() const
{
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    std::string result(root);
    g_free(root);
    return result;
}

EmulatedHidraw& HidrawTestbed::plugIn(const EmulatedHidDescription& description)
{
    const int number = nextNumber++;
    auto device = std::make_unique<EmulatedHidraw>();
    device->node = "/dev/hidraw" + std::to_string(number);
    // The handler goes in first: a source that hears of the device may open it at once.
    attachHandler(*device);

    const std::string text = describe(description, number, *device);
    GError* error = nullptr;
    if (! umockdev_testbed_add_from_string(testbed, text.c_str(), &error))
    {
        const std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error("umockdev rejected the device: " + message);
    }
    device->nodeInTestbed = rootDir() + device->node;
    device->masterFd = umockdev_testbed_get_dev_fd(testbed, device->node.c_str());
    device->flushFd = ::open(device->node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    devices.push_back(std::move(device));
    return *devices.back();
}

void HidrawTestbed::attachHandler(EmulatedHidraw& device)
{
    auto* handler = umockdev_ioctl_base_new();
    g_signal_connect(handler, "handle-read", G_CALLBACK(+[](UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        return static_cast<gboolean>(static_cast<EmulatedHidraw*>(self)->handleRead(client));
    }), &device);
    g_signal_connect(handler, "handle-write", G_CALLBACK(+[](UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        return static_cast<gboolean>(static_cast<EmulatedHidraw*>(self)->handleWrite(client));
    }), &device);
    umockdev_testbed_attach_ioctl(testbed, device.node.c_str(), handler, nullptr);
    device.handler = handler;
}

std::string HidrawTestbed::describe(const EmulatedHidDescription& description, int number, EmulatedHidraw& device) const
{
    std::string parents;
    std::string parentPath;
    if (description.usb)
        parents = usbParentText(description, parentPath, device.deviceRoot);
    else
        parentPath = device.deviceRoot = "/devices/platform/kvx-test." + std::to_string(number);

    const std::string hidName = format("%04X:%04X:%04X.%04X", description.bus, description.vendorID,
                                       description.productID, static_cast<unsigned int>(number + 1));
    DeviceText hid { parentPath + "/" + hidName, "" };
    hid.line("E", "SUBSYSTEM", "hid")
        .line("E", "HID_ID", format("%04X:%08X:%08X", description.bus, description.vendorID, description.productID))
        .line("E", "HID_NAME", description.name).line("E", "HID_PHYS", description.physicalPath)
        .line("E", "HID_UNIQ", description.uniqueID)
        .line("H", "report_descriptor", hex(description.reportDescriptor));

    const std::string minor = std::to_string(number);
    DeviceText hidraw { hid.path + "/hidraw/hidraw" + minor, "N: hidraw" + minor + "\n" };
    hidraw.line("E", "SUBSYSTEM", "hidraw").line("E", "DEVNAME", device.node)
        .line("E", "MAJOR", std::to_string(hidrawMajor)).line("E", "MINOR", minor)
        .line("A", "dev", std::to_string(hidrawMajor) + ":" + minor);

    device.hidrawPath = "/sys" + hidraw.path;
    // Child first: umockdev removes each device's own links only.
    device.removalOrder = { "/sys" + hidraw.path, "/sys" + hid.path };
    if (description.usb)
    {
        device.removalOrder.push_back("/sys" + parentPath);
        device.removalOrder.push_back("/sys" + device.deviceRoot);
    }
    return parents + hid.text() + hidraw.text();
}

void HidrawTestbed::unplug(EmulatedHidraw& device, UnplugOrder order)
{
    // A real node answers reads with EIO and writes with ENODEV once its device is gone.
    if (order == UnplugOrder::nodeFirst)
        device.failNode(EIO);
    umockdev_testbed_uevent(testbed, device.hidrawPath.c_str(), "remove");
    for (const auto& path : device.removalOrder)
        umockdev_testbed_remove_device(testbed, path.c_str());
    device.removalOrder.clear();
    // Each open node takes one of the preload library's few slots for emulated
    // descriptors: a process that plugged in some dozens would run out.
    device.closeFlushDescriptor();
}

void HidrawTestbed::announceAgain(const EmulatedHidraw& device, const char* action)
{
    umockdev_testbed_uevent(testbed, device.hidrawPath.c_str(), action);
}

void HidrawTestbed::unplugAll()
{
    for (auto& device : devices)
        if (! device->removalOrder.empty())
            unplug(*device);
}

//==============================================================================
namespace
{
bool setFileCapabilities(bool enabled)
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2] {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const uint32_t mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
    data[0].effective = enabled ? (data[0].effective | mask) : (data[0].effective & ~mask);
    return syscall(SYS_capset, &header, data) == 0;
}
} // namespace

ScopedAccessDenial::ScopedAccessDenial(const EmulatedHidraw& device)
{
    // The testbed's node is a link to a pty; its own mode is what open() checks.
    char resolved[PATH_MAX];
    if (realpath(device.nodeInTestbed.c_str(), resolved) == nullptr)
        throw std::runtime_error("cannot resolve " + device.devnode());
    target = resolved;
    struct stat status {};
    stat(target.c_str(), &status);
    mode = status.st_mode & 07777;
    chmod(target.c_str(), 0);
    capabilitiesDropped = geteuid() == 0 && setFileCapabilities(false);
}

ScopedAccessDenial::~ScopedAccessDenial()
{
    if (capabilitiesDropped)
        setFileCapabilities(true);
    chmod(target.c_str(), mode);
}

} // namespace kvxtest
