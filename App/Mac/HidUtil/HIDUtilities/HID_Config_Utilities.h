// Element configuration: binding a client's action to one control of one HID
// device and finding that control again later.
//
// Movement detection waits until the user moves a control; a preference entry
// keeps a device's and element's identity as one line of text in an
// application's preferences; a 44-byte record keeps the same identity with an
// action identifier and the element's saturation range in a client's file. The
// searches work on the device list, which the caller builds first (only
// HIDConfigureAction builds it when missing). No locks: callers serialise.
#pragma once

#include "HID_Utilities.h"

#include <cstdint>
#include <cstdio>

// Eleven 32-bit integers in the host's byte order, written and read raw, so a
// file reads back correctly only on a host of the same byte order. A field of 0
// counts as absent in every search.
typedef struct ElementConfigRecord
{
    int32_t actionCookie;      // the client's action identifier
    uint32_t vendorID;         // device
    uint32_t productID;
    uint32_t locationID;
    uint32_t usagePage;
    uint32_t usage;
    uint32_t elementUsagePage; // element
    uint32_t elementUsage;
    int32_t minReport;         // the element's saturation range
    int32_t maxReport;
    uint32_t elementCookie;
} ElementConfigRecord;

static_assert(sizeof(ElementConfigRecord) == 44, "the record is written raw: it must stay 44 bytes without padding");

//==============================================================================
// Polls every input element of every listed device (building the list when
// there is none) until one moves by 10 percent of its physical range from its
// value in the first pass, or until inTimeout seconds of processor time have
// passed. True with the element and its device stored; false with both null
// when nothing moved; false, outputs untouched, for a null output or no list.
Boolean HIDConfigureAction(IOHIDDeviceRef* outIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef, float inTimeout);
// The same on one device's input elements, a move being more than 10 percent of
// the logical range. False with the output untouched for a null argument or no
// device list; false with null when nothing moved or the device has no elements.
Boolean HIDConfigureSingleDeviceAction(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef,
                                       float inTimeout);

//==============================================================================
// Stores the device's and element's identity under the key, as the text
// "d:{v:<vendor>, p:<product>, l:<location>, p:<usage page>, u:<usage>}, e:{p:<usage page>, u:<usage>, c:<cookie>}".
// The preferences are not synchronised here. False for a null argument, or a
// device without vendor, product, location or usage.
Boolean HIDSaveElementPref(CFStringRef inKeyCFStringRef, CFStringRef inAppCFStringRef, IOHIDDeviceRef inIOHIDDeviceRef,
                           IOHIDElementRef inIOHIDElementRef);
// Reads such an entry and finds the best-matching listed device and element.
// An entry that is not text is removed; one that does not hold eight numbers is
// left in place. True with the outputs set when a device and element were found.
Boolean HIDRestoreElementPref(CFStringRef inKeyCFStringRef, CFStringRef inAppCFStringRef,
                              IOHIDDeviceRef* outIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef);
// The listed element that scores highest against the record's identity (the
// earliest wins a tie); any element whose usage matches is found, on any device.
// False with the outputs untouched when there is none.
Boolean HIDFindDeviceAndElement(const ElementConfigRecord* inSearchInfo, IOHIDDeviceRef* outFoundDevice,
                                IOHIDElementRef* outFoundElement);

//==============================================================================
// Fills the record from the device and element (every field but the action
// identifier 0 when either is null). Reading the saturation range stores its
// defaults on an element that has none.
void HIDSetElementConfig(ElementConfigRecord* inConfigRec, IOHIDDeviceRef inIOHIDDeviceRef,
                         IOHIDElementRef inIOHIDElementRef, int actionCookie);
// Fills a record and writes its 44 bytes to the file (nothing with a null file).
void HIDSaveElementConfig(FILE* fileRef, IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef,
                          int actionCookie);
// Reads one record (the part a short file lacks reads as 0) and applies it as
// HIDGetElementConfig does; a null file reads as an empty record.
int HIDRestoreElementConfig(FILE* fileRef, IOHIDDeviceRef* outIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef);
// Finds the record's device (by location, vendor and product, else by vendor and
// product alone; only when all three are set) and on it the element (by cookie,
// else by usage), sets the element's calibration with the record's saturation
// range, and stores both, or null in both. Returns the record's action identifier.
int HIDGetElementConfig(const ElementConfigRecord* inConfigRec, IOHIDDeviceRef* outIOHIDDeviceRef,
                        IOHIDElementRef* outIOHIDElementRef);
