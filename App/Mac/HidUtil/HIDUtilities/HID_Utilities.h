// The HID utility library: the process's HID manager and its sorted device list.
//
// The library takes no lock: its globals are shared by all its functions, so
// callers serialise their calls (in the application, the message thread does).
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

#include "IOHIDDevice_.h"
#include "ImmrHIDUtilAddOn.h"

//==============================================================================
// The one HID manager of the process, created and opened by the first build.
extern IOHIDManagerRef gIOHIDManagerRef;
// The devices matched at the last rebuild, in ascending LocationID order; null without a snapshot.
extern CFMutableArrayRef gDeviceCFArrayRef;
// Index of the device the last walk returned; -1 once the position is lost.
extern CFIndex gDeviceIndex;
// Scratch array of one device's elements, alive only inside one element call.
extern CFArrayRef gElementCFArrayRef;

//==============================================================================
// Builds the device list for devices of any of the given usage page and usage
// pairs; a zero count or a null array matches every HID device. False when no
// manager can be made, or when opening a new manager fails.
Boolean HIDBuildMultiDeviceList(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes);
Boolean HIDBuildDeviceList(UInt32 inUsagePage, UInt32 inUsage);
Boolean HIDUpdateDeviceList(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes);
// A matching dictionary for one pair, owned by the caller; page 0 matches every device.
CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32 inUsagePage, UInt32 inUsage);

// Replaces the snapshot with the manager's current devices; keeps it when the manager yields none.
void HIDRebuildDevices(void);
void HIDReleaseDeviceList(void);
Boolean HIDHaveDeviceList(void);
UInt32 HIDCountDevices(void);

// The walk. Returned devices are not retained: they live as long as the snapshot.
IOHIDDeviceRef HIDGetFirstDevice(void);
IOHIDDeviceRef HIDGetNextDevice(IOHIDDeviceRef inIOHIDDeviceRef);

// CFSetApplyFunction applier: appends the value to the CFMutableArrayRef context.
void CFSetApplierFunctionCopyToCFArray(const void* value, void* context);
// CFArraySortValues comparator: orders devices by LocationID.
CFComparisonResult CFDeviceArrayComparatorFunction(const void* val1, const void* val2, void* context);
