// In-memory HID devices for tests: the virtual device source.
//
// A test builds a device with any properties it likes, attaches it (the HID
// managers that follow the virtual source see it arrive), injects input reports
// and watches the output reports that the code under test sends. Nothing here
// touches the system's devices.
//
// Every call may be made from any thread.
#pragma once

#include <CoreFoundation/CFDictionary.h>
#include <IOKit/IOReturn.h>
#include <IOKit/hid/IOHIDKeys.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace platform
{

// Makes the virtual source the process's default device source: every HID
// manager created afterwards sees the virtual devices and nothing else, and so
// do IOServiceGetMatchingService calls. Managers created before keep their source.
void useVirtualDevices();

namespace virtualhid
{

class VirtualDevice;

// A device's property dictionary, built key by key.
class Properties
{
public:
    Properties();
    ~Properties();
    Properties(const Properties&) = delete;
    Properties& operator=(const Properties&) = delete;

    // A number as the registry stores a 32-bit property: a value between
    // INT32_MIN and UINT32_MAX becomes a kCFNumberSInt32Type (0x80000000 reads
    // back as -2147483648, as a device's LocationID does); a wider one a
    // kCFNumberSInt64Type.
    Properties& setNumber(const char* key, long long number);
    // A string, from UTF-8.
    Properties& setString(const char* key, const char* text);
    // Any CF value, retained by the dictionary.
    Properties& setValue(const char* key, CFTypeRef value);
    // Appends one dictionary {"DeviceUsagePage", "DeviceUsage"} to "DeviceUsagePairs".
    Properties& addUsagePair(uint32_t usagePage, uint32_t usage);

    // Borrowed: valid while this object lives.
    CFDictionaryRef dictionary() const { return properties; }

private:
    CFMutableDictionaryRef properties;
};

struct Report
{
    IOHIDReportType type = kIOHIDReportTypeOutput;
    uint32_t reportID = 0;
    std::vector<uint8_t> bytes;
};

// Answers one IOHIDDeviceSetReport: its result becomes that call's IOReturn.
// Runs synchronously on the sender's thread with no lock of the layer held, so
// it may inject a reply, or attach and detach devices.
using OutputHandler = std::function<IOReturn(const Report& report)>;

// Answers one IOHIDDeviceGetReport: fills report.bytes (type and reportID are
// the request's) and returns kIOReturnSuccess, or returns an error. Same thread
// rules as OutputHandler.
using GetReportHandler = std::function<IOReturn(Report& report)>;

// One emulated device. It starts detached; destroying it detaches it.
class Device
{
public:
    // Copies the properties (null: a device without any) and keeps the report
    // descriptor (empty: none known).
    explicit Device(CFDictionaryRef properties, std::vector<uint8_t> reportDescriptor = {});
    explicit Device(const Properties& properties, std::vector<uint8_t> reportDescriptor = {});
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Plugs the device in: every manager whose matching takes it adds it to its
    // set and reports its arrival on the manager's run loop. Does nothing when attached.
    void attach();
    // Unplugs it: every device object of it gets its removal callback once and
    // leaves its manager's set; later and concurrent sends fail with
    // kIOReturnNoDevice. Does nothing when detached. It may be attached again:
    // managers then see a new device.
    void detach();
    bool isAttached() const;

    // Delivers the report to every device object of this device that is open
    // and scheduled on a run loop, on that run loop; dropped where none is (or
    // when detached). The whole report is kept: a reader's short buffer is its own.
    void injectInput(const uint8_t* bytes, size_t length);
    void injectInput(const std::vector<uint8_t>& bytes);

    // Without a handler a send succeeds. Every send that reaches the device
    // (open, attached, valid arguments) is recorded first, handler or not.
    void setOutputHandler(OutputHandler handler);
    // Without a handler IOHIDDeviceGetReport fails with kIOReturnUnsupported.
    void setGetReportHandler(GetReportHandler handler);

    // The reports sent to the device with IOHIDDeviceSetReport, oldest first.
    std::vector<Report> sentReports() const;
    void clearSentReports();

    // How many device objects hold this device open right now.
    int openCount() const;

private:
    std::shared_ptr<VirtualDevice> device;
};

} // namespace virtualhid
} // namespace platform
