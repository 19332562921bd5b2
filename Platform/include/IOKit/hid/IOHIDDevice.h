// One HID device as a manager presents it.
//
// Device objects come from IOHIDManagerCopyDevices and the manager's callbacks.
// Reports flow only while the device is open (by IOHIDDeviceOpen or by its
// manager's IOHIDManagerOpen). Callbacks arrive only on the run loop the device
// is scheduled on: release a scheduled device on that thread, or unschedule it first.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

CFTypeID IOHIDDeviceGetTypeID(void);

// kIOReturnSuccess (also when already open), kIOReturnNoDevice once the device
// is gone, kIOReturnNotPrivileged without access, kIOReturnBadArgument for null.
IOReturn IOHIDDeviceOpen(IOHIDDeviceRef device, IOOptionBits options);
// Undoes IOHIDDeviceOpen; the device stays open while its manager is.
// kIOReturnNotOpen when this object had not opened it.
IOReturn IOHIDDeviceClose(IOHIDDeviceRef device, IOOptionBits options);

// The property of that key, not retained: valid until it is replaced or the
// device released. Null when missing.
CFTypeRef IOHIDDeviceGetProperty(IOHIDDeviceRef device, CFStringRef key);
// Stores a property on this device object only, for this process. False for
// a null device, key or value.
Boolean IOHIDDeviceSetProperty(IOHIDDeviceRef device, CFStringRef key, CFTypeRef property);

// The device's callbacks run on runLoop's thread from now on (one run loop at
// a time: scheduling again moves it); the mode is ignored.
void IOHIDDeviceScheduleWithRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef runLoopMode);
// No callbacks any more; input reports that arrive meanwhile are dropped.
void IOHIDDeviceUnscheduleFromRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef runLoopMode);

// Called once when the device goes away, on its run loop (as soon as it is
// scheduled, when it went away before). Null unregisters.
void IOHIDDeviceRegisterRemovalCallback(IOHIDDeviceRef device, IOHIDCallback callback, void* context);

// Each input report is copied into report (at most reportLength bytes; the
// buffer must stay valid until unregistered) and then the callback gets it with
// the report's own length, which exceeds reportLength when the report was cut
// to fit. reportID is the report's first byte when the device numbers its
// reports, else 0. Null unregisters.
void IOHIDDeviceRegisterInputReportCallback(IOHIDDeviceRef device, uint8_t* report, CFIndex reportLength,
                                            IOHIDReportCallback callback, void* context);

// Sends one report and waits until the device took it. For a report ID other
// than 0 the report begins with its ID and goes out as it is; for 0 it holds
// the data alone. Any thread, also while
// the device goes away on another. kIOReturnSuccess; kIOReturnNoDevice once
// the device is gone; kIOReturnNotOpen when it is not open; kIOReturnBadArgument
// for null arguments or a length of 0 or less; or the device's error.
IOReturn IOHIDDeviceSetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID,
                              const uint8_t* report, CFIndex reportLength);
// Reads one report into report, at most *pReportLength bytes; *pReportLength
// becomes the number read. Errors as for IOHIDDeviceSetReport.
IOReturn IOHIDDeviceGetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID,
                              uint8_t* report, CFIndex* pReportLength);
