// The HID object types and callback signatures.
//
// Callbacks run on the thread of the run loop their object is scheduled on,
// never with a lock of the layer held, so they may call any function of the
// layer on their object (unregister, unschedule, release).
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOReturn.h>
#include <IOKit/hid/IOHIDKeys.h>

typedef struct IOHIDManagerObject* IOHIDManagerRef;
typedef struct IOHIDDeviceObject* IOHIDDeviceRef;
typedef struct IOHIDElementObject* IOHIDElementRef;
typedef struct IOHIDValueObject* IOHIDValueRef;
typedef struct IOHIDQueueObject* IOHIDQueueRef;

// sender is the object the callback was registered on.
typedef void (*IOHIDCallback)(void* context, IOReturn result, void* sender);
typedef void (*IOHIDDeviceCallback)(void* context, IOReturn result, void* sender, IOHIDDeviceRef device);
typedef void (*IOHIDValueCallback)(void* context, IOReturn result, void* sender, IOHIDValueRef value);
typedef void (*IOHIDReportCallback)(void* context, IOReturn result, void* sender, IOHIDReportType type,
                                    uint32_t reportID, uint8_t* report, CFIndex reportLength);
