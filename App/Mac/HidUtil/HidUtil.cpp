#include "HidUtil.h"

#include "HID_Utilities.h"
#include "IOHIDDevice_.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

const int32_t HidDeviceType[2] = { 0, 14 };

HidUtil* HidUtil::m_pinstance = nullptr;

HidUtil::HidUtil()
    : m_report (std::make_unique<uint8_t[]> (reportSize))
{
}

HidUtil::~HidUtil()
{
    finalize();

    if (mayTouchProcessState())
        releaseManager();
}

//==============================================================================
bool HidUtil::initialize (HidHandler* handler, int typeIndex)
{
    if (m_pinstance != nullptr)
        return false;

    m_pinstance = this;
    m_handler = handler;
    m_type = typeIndex;

    // Without a manager the walk simply finds nothing: the link starts empty.
    HIDBuildDeviceList (0, 0);
    return true;
}

void HidUtil::finalize()
{
    m_handler = nullptr;

    if (! mayTouchProcessState())
        return;

    deviceRemoval();
    HIDReleaseDeviceList();

    if (gIOHIDManagerRef != nullptr)
        IOHIDManagerRegisterDeviceMatchingCallback (gIOHIDManagerRef, nullptr, nullptr);

    m_pinstance = nullptr;
}

bool HidUtil::deviceMatching()
{
    if (m_device != nullptr)
        return true;

    // The list is in ascending LocationID order: of two controllers, the one
    // on the lower location wins.
    IOHIDDeviceRef device = HIDGetFirstDevice();

    while (device != nullptr && ! checkID (device))
        device = HIDGetNextDevice (device);

    const bool found = device != nullptr;

    if (! found)
        deviceRemoval();

    registerDeviceMatching();
    return found;
}

int HidUtil::deviceVersion()
{
    if (m_device == nullptr)
        return 0;

    // The release number is BCD; a digit above 9 counts at its value.
    const int v = static_cast<int> (IOHIDDevice_GetVersionNumber (m_device));
    return (v / 4096) * 1000 + ((v % 4096) / 256) * 100 + ((v % 256) / 16) * 10 + v % 16;
}

unsigned int HidUtil::deviceInput (uint8_t* buffer, unsigned int length)
{
    if (buffer == nullptr || length == 0 || m_device == nullptr)
        return 0;

    const unsigned int count = std::min (m_reportLength, length);
    std::memcpy (buffer, m_report.get(), count);
    return count;
}

bool HidUtil::deviceOutput (uint8_t* data, unsigned int length)
{
    if (data == nullptr || length == 0)
        return false;

    // Held across the send: a removal waits until the platform has finished
    // with the device.
    const juce::ScopedLock lock (m_deviceLock);

    if (m_device == nullptr)
        return false;

    return IOHIDDeviceSetReport (m_device, kIOHIDReportTypeOutput, 0, data, static_cast<CFIndex> (length)) == kIOReturnSuccess;
}

bool HidUtil::checkID (IOHIDDeviceRef device)
{
    if (m_device != nullptr || ! isControllerID (device))
        return false;

    setDevice (device);
    clearReport();
    IOHIDDeviceRegisterRemovalCallback (device, Handle_IOHIDDeviceRemovalCallback, this);
    IOHIDDeviceRegisterInputReportCallback (device, m_report.get(), reportSize, Handle_IOHIDDeviceIOHIDReportCallback, nullptr);
    IOHIDDeviceScheduleWithRunLoop (device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    return true;
}

void HidUtil::registerDeviceMatching()
{
    if (m_matchingRegistered)
        return;

    m_matchingRegistered = true;

    if (gIOHIDManagerRef == nullptr)
        return;

    IOHIDManagerRegisterDeviceMatchingCallback (gIOHIDManagerRef, Handle_DeviceMatchingCallback, this);
    IOHIDManagerScheduleWithRunLoop (gIOHIDManagerRef, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
}

bool HidUtil::deviceRemoval()
{
    if (m_device == nullptr)
        return false;

    IOHIDDeviceRef device = m_device;
    IOHIDDeviceRegisterRemovalCallback (device, nullptr, nullptr);
    IOHIDDeviceRegisterInputReportCallback (device, m_report.get(), reportSize, nullptr, nullptr);
    IOHIDDeviceUnscheduleFromRunLoop (device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    setDevice (nullptr);
    clearReport();
    return true;
}

//==============================================================================
void HidUtil::Handle_DeviceMatchingCallback (void* context, int, void*, IOHIDDeviceRef device)
{
    auto* util = static_cast<HidUtil*> (context);

    if (util != nullptr && util->checkID (device) && util->m_handler != nullptr)
        util->m_handler->matchingCallBack();
}

void HidUtil::Handle_IOHIDDeviceRemovalCallback (void* context, int, void* sender)
{
    auto* util = static_cast<HidUtil*> (context);

    if (util == nullptr || sender == nullptr || util->m_device == nullptr)
        return;

    util->deviceRemoval();

    if (util->m_handler != nullptr)
        util->m_handler->removalCallBack();
}

void HidUtil::Handle_IOHIDDeviceIOHIDReportCallback (void*, int, void*, IOHIDReportType, unsigned int, unsigned char*,
                                                     long reportLength)
{
    HidUtil* util = m_pinstance;

    if (util == nullptr)
        return;

    // The platform wrote at most 64 bytes whatever length it reports.
    util->m_reportLength = std::min (static_cast<uint32_t> (reportLength), static_cast<uint32_t> (reportSize));

    if (util->m_handler != nullptr)
        util->m_handler->inputCallBack();
}

//==============================================================================
bool HidUtil::isControllerID (IOHIDDeviceRef device) const
{
    if (device == nullptr || m_type < 0 || m_type >= static_cast<int> (std::size (HidDeviceType)))
        return false;

    return IOHIDDevice_GetVendorID (device) == HidVendorID
        && IOHIDDevice_GetProductID (device) == static_cast<long> (HidDeviceType[m_type]);
}

// A backend that was refused the slot must not tear down what the live one uses.
bool HidUtil::mayTouchProcessState() const
{
    return m_pinstance == nullptr || m_pinstance == this;
}

// The backend keeps its own reference while it holds the device, so that a send
// racing a removal never reaches a device the platform has already freed.
void HidUtil::setDevice (IOHIDDeviceRef device)
{
    if (device != nullptr)
        CFRetain (device);

    IOHIDDeviceRef previous = nullptr;

    {
        const juce::ScopedLock lock (m_deviceLock);
        previous = std::exchange (m_device, device);
    }

    if (previous != nullptr)
        CFRelease (previous);
}

void HidUtil::clearReport()
{
    std::memset (m_report.get(), 0, reportSize);
    m_reportLength = 0;
}

// The device list never lets go of its manager; the last backend does, so that
// a later build starts from a fresh one.
void HidUtil::releaseManager()
{
    if (gIOHIDManagerRef == nullptr)
        return;

    if (m_matchingRegistered)
        IOHIDManagerUnscheduleFromRunLoop (gIOHIDManagerRef, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

    IOHIDManagerClose (gIOHIDManagerRef, 0);
    CFRelease (gIOHIDManagerRef);
    gIOHIDManagerRef = nullptr;
}
