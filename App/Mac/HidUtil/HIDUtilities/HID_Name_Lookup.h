// Readable names for HID numbers: vendors, products, elements and usages from
// three property-list resources, element types from a fixed table.
//
// The lists are "HID_device_usage_strings", "HID_cookie_strings" and
// "HID_usage_strings" (type "plist"), looked for in the main bundle, then in the
// bundle kHIDUtilitiesBundleIdentifier, then in every loaded bundle. A list once
// read stays for the life of the process; one not found is looked for again at
// the next lookup. The lookups take no lock: callers serialise them.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

// The bytes every name buffer below must hold. A name whose UTF-8 text and
// terminator do not fit is not found; nothing is written past this size.
#define kHIDNameBufferSize 256
// The bytes the buffer of HIDGetTypeName must hold ("Miscellaneous Input" and its terminator).
#define kHIDTypeNameBufferSize 20

// The bundle in which the library would keep its own lists.
#define kHIDUtilitiesBundleIdentifier "org.kvx-updater.HIDUtilities"

// The loaded "HID_device_usage_strings" and "HID_cookie_strings", or null while not found.
extern CFPropertyListRef gUsageCFPropertyListRef;
extern CFPropertyListRef gCookieCFPropertyListRef;

//==============================================================================
// Each name getter first empties outCStrName, then fills it with the UTF-8 name
// and returns true, or returns false with the buffer empty.

// The vendor's "Name".
Boolean HIDGetVendorNameFromVendorID(long inVendorID, char* outCStrName);
// The vendor's and the product's names, joined by one blank.
Boolean HIDGetProductNameFromVendorProductID(long inVendorID, long inProductID, char* outCStrName);
// The element's name alone, by its cookie (looked up under its signed decimal form).
Boolean HIDGetElementNameFromVendorProductCookie(int inVendorID, int inProductID, IOHIDElementCookie inCookie,
                                                 char* outCStrName);
// The element's name alone, by its usage page and usage.
Boolean HIDGetElementNameFromVendorProductUsage(long inVendorID, long inProductID, long inUsagePage, long inUsage,
                                                char* outCStrName);
// The element type's name, "Unknown Type" for a value outside the table.
void HIDGetTypeName(IOHIDElementType inIOHIDElementType, char* outCStrName);

// "<page name> <usage name>", a new string the caller releases; null when the
// usage is not listed.
CFStringRef HIDCopyUsageName(long inUsagePage, long inUsage);

//==============================================================================
// The searches behind the getters: they write outCStrName only when they find a name.
Boolean hu_XMLSearchForVendorNameByVendorID(long inVendorID, char* outCStr);
Boolean hu_XMLSearchForProductNameByVendorProductID(long inVendorID, long inProductID, char* outCStr);
Boolean hu_XMLSearchForElementNameByCookie(long inVendorID, long inProductID, IOHIDElementCookie inCookie,
                                           char* outCStr);
Boolean hu_XMLSearchForElementNameByUsage(long inVendorID, long inProductID, long inUsagePage, long inUsage,
                                          char* outCStr);

// The resource read and parsed from the first bundle that has it, or null. Caller releases.
CFPropertyListRef hu_XMLLoad(CFStringRef inResourceName, CFStringRef inResourceExtension);
// The XML property list in the file, or null. Caller releases.
CFPropertyListRef hu_LoadFromXMLFile(CFURLRef inURL);
