// The HID utility library: the process's HID manager and its sorted device list,
// walks over a device's elements, and diagnostic dumps.
//
// The library takes no lock: its globals are shared by all its functions, so
// callers serialise their calls (in the application, the message thread does).
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

#include "HID_Name_Lookup.h"
#include "IOHIDDevice_.h"
#include "IOHIDElement_.h"
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

//==============================================================================
// Classes of elements, combined by OR: element types 1 to 4 are input, 129
// output, 257 feature and 513 collection. Other bits select nothing.
typedef UInt32 HIDElementTypeMask;
enum
{
    HIDElementMaskInput = 1 << 1,
    HIDElementMaskOutput = 1 << 2,
    HIDElementMaskFeature = 1 << 3,
    HIDElementMaskCollection = 1 << 4
};

// The walks keep no cursor: each call copies the device's element list afresh
// into gElementCFArrayRef and releases it before returning, so a walk over n
// elements costs on the order of n squared. Returned elements are not retained:
// they live as long as their device. A non-null reference of the wrong type
// stops the program.
UInt32 HIDCountDeviceElements(IOHIDDeviceRef inIOHIDDeviceRef, HIDElementTypeMask typeMask);
IOHIDElementRef HIDGetFirstDeviceElement(IOHIDDeviceRef inIOHIDDeviceRef, HIDElementTypeMask typeMask);
// The first element after inIOHIDElementRef in its device's list that the mask
// selects; inIOHIDElementRef itself need not be selected.
IOHIDElementRef HIDGetNextDeviceElement(IOHIDElementRef inIOHIDElementRef, HIDElementTypeMask typeMask);

//==============================================================================
// One line on standard output for a developer. The device dump flushes standard
// output; a null element prints nothing. Dumping an element's calibration stores
// the calibration defaults on an element that has none.
void HIDDumpDeviceInfo(IOHIDDeviceRef inIOHIDDeviceRef);
void HIDDumpElementInfo(IOHIDElementRef inIOHIDElementRef);
void HIDDumpElementCalibrationInfo(IOHIDElementRef inIOHIDElementRef);
