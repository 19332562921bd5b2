// The HID manager: the set of HID devices that match a description, followed
// as devices come and go.
//
// A manager follows the process's device source as it was when the manager was
// created (the Linux hidraw devices, or the virtual ones in tests). It holds one
// device object per matching device; a device that goes away leaves the set.
// Calls may come from any thread; callbacks arrive only on the run loop the
// manager is scheduled on.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

CFTypeID IOHIDManagerGetTypeID(void);

// A new manager that matches nothing until its matching is set. Caller releases.
// Null only when out of memory.
IOHIDManagerRef IOHIDManagerCreate(CFAllocatorRef allocator, IOOptionBits options);

// Opens every device of the set, and every device that joins it while the
// manager is open. A device that cannot be opened (no access) stays in the set,
// unopened: its reports fail with kIOReturnNotOpen. kIOReturnSuccess, or
// kIOReturnBadArgument for a null manager.
IOReturn IOHIDManagerOpen(IOHIDManagerRef manager, IOOptionBits options);
// Closes what IOHIDManagerOpen opened. kIOReturnNotOpen when it was not open.
IOReturn IOHIDManagerClose(IOHIDManagerRef manager, IOOptionBits options);

// Replaces the description: null matches every device; a dictionary matches a
// device when each of its keys holds the device property of that key (equal
// values; numbers compare by value), except "DeviceUsagePage" and "DeviceUsage",
// which match any one pair of the device's "DeviceUsagePairs". Devices that
// still match keep their device objects; new ones join and are announced;
// the others leave the set without a removal report. The dictionary is copied.
void IOHIDManagerSetDeviceMatching(IOHIDManagerRef manager, CFDictionaryRef matching);
// Same, a device matching any one dictionary of the array. Null matches every
// device, an empty array none.
void IOHIDManagerSetDeviceMatchingMultiple(IOHIDManagerRef manager, CFArrayRef multiple);

// A new set of the manager's devices, or null when it has none. Caller releases.
CFSetRef IOHIDManagerCopyDevices(IOHIDManagerRef manager);

// Called once for each device of the set, on the manager's run loop: for the
// devices already there once the manager is scheduled, then for each that
// joins. A device that left before its announcement ran is not announced.
// Null unregisters.
void IOHIDManagerRegisterDeviceMatchingCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback, void* context);
// Called once for each announced device that goes away, on the manager's run loop.
void IOHIDManagerRegisterDeviceRemovalCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback, void* context);

// The manager's callbacks run on runLoop's thread from now on (one run loop at a
// time: scheduling again moves it); the mode is ignored.
void IOHIDManagerScheduleWithRunLoop(IOHIDManagerRef manager, CFRunLoopRef runLoop, CFStringRef runLoopMode);
// No callbacks any more; what happens meanwhile waits for the next scheduling.
void IOHIDManagerUnscheduleFromRunLoop(IOHIDManagerRef manager, CFRunLoopRef runLoop, CFStringRef runLoopMode);
