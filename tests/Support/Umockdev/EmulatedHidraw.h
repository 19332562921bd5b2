// Emulated hidraw devices for tests of code that talks to real device nodes:
// a umockdev testbed with USB (or other) HID devices, each with its sysfs
// tree, its /dev/hidrawN node and a handler that behaves like the kernel's
// hidraw driver: one write() is one output report, one read() one input
// report, and the node polls readable while input reports are queued.
//
// The test binary must run under umockdev-wrapper (libumockdev-preload).
// A testbed leaks a few file descriptors: create one per test suite and
// unplug what a test plugged in. Calls may come from any thread; output
// handlers run on umockdev's worker thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace kvxtest
{

// The kernel's HID bus types, as HID_ID spells them.
namespace HidBus
{
constexpr uint32_t usb = 0x03;
constexpr uint32_t bluetooth = 0x05;
constexpr uint32_t i2c = 0x18;
} // namespace HidBus

struct UsbPlacement
{
    uint32_t busNumber = 1;
    std::string portPath = "2.3"; // sysfs devpath: ports from the root hub, dot-separated
    uint16_t bcdDevice = 0x0123;
    // Empty strings leave the attribute out, as for a device without string descriptors.
    std::string manufacturer;
    std::string product;
    std::string serial;
    uint8_t interfaceNumber = 0;
    // The usb_device's raw "descriptors" file; empty leaves it out.
    std::vector<uint8_t> rawDescriptors;
};

struct EmulatedHidDescription
{
    uint32_t bus = HidBus::usb;
    uint32_t vendorID = 0x1209;
    uint32_t productID = 0x000e;
    std::string name;           // HID_NAME
    std::string physicalPath;   // HID_PHYS
    std::string uniqueID;       // HID_UNIQ
    std::vector<uint8_t> reportDescriptor;
    // Present for a USB device; other buses sit under a platform device.
    std::optional<UsbPlacement> usb;
};

// A report descriptor with vendor page 0xFF00, usage 1, and unnumbered input
// and output reports of the given sizes in bytes: the controller's shape.
std::vector<uint8_t> vendorReportDescriptor(uint8_t inputSize = 64, uint8_t outputSize = 64);

class EmulatedHidraw
{
public:
    // Called for every output report, with the bytes as written (report ID first).
    using OutputHandler = std::function<void(const std::vector<uint8_t>& report)>;

    const std::string& syspath() const { return hidrawPath; }
    const std::string& devnode() const { return node; }

    // Queues one input report; the node polls readable until it has been read.
    void sendInputReport(const std::vector<uint8_t>& report);
    void setOutputHandler(OutputHandler handler);
    std::vector<std::vector<uint8_t>> outputReports() const;

    // From now on reads and writes fail with this errno and the node polls
    // readable, as a node does once its device is gone.
    void failNode(int error);

private:
    friend class HidrawTestbed;
    friend class ScopedAccessDenial;

    bool handleRead(void* client);
    bool handleWrite(void* client);
    void signalReadable();
    void closeFlushDescriptor();

    std::string hidrawPath;
    std::string node;
    std::string deviceRoot;
    std::string nodeInTestbed;
    std::vector<std::string> removalOrder; // child first
    int masterFd = -1;
    int flushFd = -1; // guarded by lock once the node is plugged in
    void* handler = nullptr;

    mutable std::mutex lock;
    std::list<std::vector<uint8_t>> inputQueue;
    std::vector<std::vector<uint8_t>> written;
    OutputHandler outputHandler;
    int failure = 0;
    bool markerPending = false;
};

class HidrawTestbed
{
public:
    HidrawTestbed();
    ~HidrawTestbed();
    HidrawTestbed(const HidrawTestbed&) = delete;
    HidrawTestbed& operator=(const HidrawTestbed&) = delete;

    // Builds the device's sysfs tree and node and announces it ("add").
    // Owned by the testbed.
    EmulatedHidraw& plugIn(const EmulatedHidDescription& description);

    enum class UnplugOrder
    {
        nodeFirst,  // reads fail before udev says "remove", as on a real unplug
        eventFirst  // udev's "remove" comes while the node still answers
    };
    // Announces the removal and removes the tree. The object stays valid (its
    // node answers whoever still holds it open) until the testbed is destroyed,
    // but input queued from now on leaves the node polling readable.
    void unplug(EmulatedHidraw& device, UnplugOrder order = UnplugOrder::nodeFirst);
    void unplugAll();
    // Sends udev's event for a device plugged in: "add", or "change" as when
    // its rules are triggered again.
    void announceAgain(const EmulatedHidraw& device, const char* action);

    std::string rootDir() const;

private:
    std::string describe(const EmulatedHidDescription& description, int number, EmulatedHidraw& device) const;
    void attachHandler(EmulatedHidraw& device);

    UMockdevTestbed* testbed;
    int nextNumber = 0;
    std::list<std::unique_ptr<EmulatedHidraw>> devices;
};

// Denies the calling thread access to the node while it lives: the node's
// mode becomes 000 and, for root, the thread drops the capabilities that
// bypass file permissions. Opening it then fails with EACCES.
class ScopedAccessDenial
{
public:
    explicit ScopedAccessDenial(const EmulatedHidraw& device);
    ~ScopedAccessDenial();
    ScopedAccessDenial(const ScopedAccessDenial&) = delete;
    ScopedAccessDenial& operator=(const ScopedAccessDenial&) = delete;

private:
    std::string target;
    unsigned int mode = 0;
    bool capabilitiesDropped = false;
};

} // namespace kvxtest
