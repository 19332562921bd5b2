// Readers and writers of one HID device's properties.
//
// Number getters return 0 for a null device or a missing property; object
// getters return the device's own object (not retained) or null. A non-null
// reference that is not a HID device stops the program. Setters store on this
// device object only, for this process.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

Boolean HIDIsValidDevice(IOHIDDeviceRef inIOHIDDeviceRef);

CFStringRef IOHIDDevice_GetTransport(IOHIDDeviceRef inIOHIDDeviceRef);
CFStringRef IOHIDDevice_GetManufacturer(IOHIDDeviceRef inIOHIDDeviceRef);
CFStringRef IOHIDDevice_GetProduct(IOHIDDeviceRef inIOHIDDeviceRef);
CFStringRef IOHIDDevice_GetSerialNumber(IOHIDDeviceRef inIOHIDDeviceRef);
CFArrayRef IOHIDDevice_GetUsagePairs(IOHIDDeviceRef inIOHIDDeviceRef);

long IOHIDDevice_GetVendorID(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetVendorIDSource(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetProductID(IOHIDDeviceRef inIOHIDDeviceRef);
// The USB device release number, binary-coded decimal.
long IOHIDDevice_GetVersionNumber(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetCountryCode(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetLocationID(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetMaxInputReportSize(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetMaxOutputReportSize(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetMaxFeatureReportSize(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetReportInterval(IOHIDDeviceRef inIOHIDDeviceRef);

uint32_t IOHIDDevice_GetUsage(IOHIDDeviceRef inIOHIDDeviceRef);
uint32_t IOHIDDevice_GetUsagePage(IOHIDDeviceRef inIOHIDDeviceRef);
uint32_t IOHIDDevice_GetPrimaryUsage(IOHIDDeviceRef inIOHIDDeviceRef);
uint32_t IOHIDDevice_GetPrimaryUsagePage(IOHIDDeviceRef inIOHIDDeviceRef);

// Reads a number property as a signed 32-bit value into the low half of *outValue.
// True when the value was read exactly.
Boolean IOHIDDevice_GetLongProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef inKey, long* outValue);
// Stores the low 32 bits of inValue as a number property.
void IOHIDDevice_SetLongProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef inKey, long inValue);

// The queue and transaction kept on a device, stored by reference, not retained.
IOHIDQueueRef IOHIDDevice_GetQueue(IOHIDDeviceRef inIOHIDDeviceRef);
void IOHIDDevice_SetQueue(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDQueueRef inQueueRef);
IOHIDTransactionRef IOHIDDevice_GetTransaction(IOHIDDeviceRef inIOHIDDeviceRef);
void IOHIDDevice_SetTransaction(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDTransactionRef inTransactionRef);
