#pragma once

#include "HidHandler.h"

#include <IOKit/hid/IOHIDLib.h>
#include <juce_core/juce_core.h>

#include <cstdint>
#include <memory>

//==============================================================================
/** The USB vendor identifier of the controller's maker, fixed by the build. */
constexpr long HidVendorID = KVX_VENDOR_ID;

/** The product identifiers the link looks for, selected by the device type index:
    0 without a valid update file, 1 (the KVX-TN) with one.
*/
extern const int32_t HidDeviceType[2];

//==============================================================================
/**
    The platform side of the controller link.

    It finds the controller in the HID utility library's device list, follows its
    removal and its input reports, learns of a controller attached later through
    the library's HID manager, sends output reports and reads the firmware
    version. Every event goes to the HidHandler it was initialized with.

    One backend is live per process (m_pinstance). Everything but deviceOutput
    belongs to the thread that called initialize, whose run loop delivers the
    platform's callbacks; deviceOutput may run on any thread.
*/
class HidUtil
{
public:
    HidUtil();
    virtual ~HidUtil();

    /** Claims the process's backend slot and builds the device list; false when
        another backend is live.
    */
    bool initialize (HidHandler* handler, int typeIndex);

    /** Lets go of the controller and the device list and stops arrival reports.
        Safe to call again; a backend that was refused leaves the live one alone.
    */
    void finalize();

    /** True when a controller is held or is found in the device list; from then
        on controllers attached later are reported.
    */
    bool deviceMatching();

    /** The held controller's firmware version as a decimal number, 0 without one. */
    int deviceVersion();

    /** Copies up to length bytes of the last input report; returns the count. */
    unsigned int deviceInput (uint8_t* buffer, unsigned int length);

    /** Sends one output report with report identifier 0; true when the platform took it. */
    bool deviceOutput (uint8_t* data, unsigned int length);

    /** Takes the device if it is the controller and none is held. */
    bool checkID (IOHIDDeviceRef device);

    void registerDeviceMatching();

    /** Lets go of the held controller; false when none is held. */
    bool deviceRemoval();

    static void Handle_DeviceMatchingCallback (void* context, int result, void* sender, IOHIDDeviceRef device);
    static void Handle_IOHIDDeviceRemovalCallback (void* context, int result, void* sender);
    static void Handle_IOHIDDeviceIOHIDReportCallback (void* context, int result, void* sender, IOHIDReportType type,
                                                       unsigned int reportID, unsigned char* report, long reportLength);

    static HidUtil* m_pinstance;

private:
    //==============================================================================
    bool isControllerID (IOHIDDeviceRef device) const;
    bool mayTouchProcessState() const;
    void setDevice (IOHIDDeviceRef device);
    void clearReport();
    void releaseManager();

    static constexpr unsigned int reportSize = 64;

    HidHandler* m_handler = nullptr;
    int m_type = 0;
    // Written only on the callbacks' thread, under m_deviceLock, so that a send
    // from another thread never uses a device that has been let go.
    IOHIDDeviceRef m_device = nullptr;
    std::unique_ptr<uint8_t[]> m_report;
    uint32_t m_reportLength = 0;
    bool m_matchingRegistered = false;
    juce::CriticalSection m_deviceLock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HidUtil)
};
