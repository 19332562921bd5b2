// The elements of a HID device: one per control, as its report descriptor
// describes them.
//
// A device's elements come from IOHIDDeviceCopyMatchingElements. They belong to
// the device object: each lives at least as long as the device (and longer when
// retained), is the same object on every copy, and keeps a property dictionary of
// its own for this process. The getters read the report descriptor's values. A
// reference that is not an element stops the program. Any thread.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

typedef uint32_t IOHIDElementCookie;

// 32-bit numbers with names for the usual values: a descriptor may give any.
typedef enum : uint32_t
{
    kIOHIDElementTypeInput_Misc = 1,
    kIOHIDElementTypeInput_Button = 2,
    kIOHIDElementTypeInput_Axis = 3,
    kIOHIDElementTypeInput_ScanCodes = 4,
    kIOHIDElementTypeOutput = 129,
    kIOHIDElementTypeFeature = 257,
    kIOHIDElementTypeCollection = 513
} IOHIDElementType;

typedef enum : uint32_t
{
    kIOHIDElementCollectionTypePhysical = 0,
    kIOHIDElementCollectionTypeApplication,
    kIOHIDElementCollectionTypeLogical,
    kIOHIDElementCollectionTypeReport,
    kIOHIDElementCollectionTypeNamedArray,
    kIOHIDElementCollectionTypeUsageSwitch,
    kIOHIDElementCollectionTypeUsageModifier
} IOHIDElementCollectionType;

// Keys of an element's properties, which IOHIDDeviceCopyMatchingElements matches
// on too. Numbers, except the Is and Has keys (booleans) and "Name" (a string,
// present only when the descriptor names the element).
#define kIOHIDElementCookieKey "ElementCookie"
#define kIOHIDElementTypeKey "Type"
#define kIOHIDElementCollectionTypeKey "CollectionType"
#define kIOHIDElementUsageKey "Usage"
#define kIOHIDElementUsagePageKey "UsagePage"
#define kIOHIDElementMinKey "Min"
#define kIOHIDElementMaxKey "Max"
#define kIOHIDElementScaledMinKey "ScaledMin"
#define kIOHIDElementScaledMaxKey "ScaledMax"
#define kIOHIDElementReportIDKey "ReportID"
#define kIOHIDElementReportSizeKey "ReportSize"
#define kIOHIDElementReportCountKey "ReportCount"
#define kIOHIDElementUnitKey "Unit"
#define kIOHIDElementUnitExponentKey "UnitExponent"
#define kIOHIDElementIsArrayKey "IsArray"
#define kIOHIDElementIsRelativeKey "IsRelative"
#define kIOHIDElementIsWrappingKey "IsWrapping"
#define kIOHIDElementIsNonLinearKey "IsNonLinear"
#define kIOHIDElementHasPreferredStateKey "HasPreferredState"
#define kIOHIDElementHasNullStateKey "HasNullState"
#define kIOHIDElementNameKey "Name"

// Calibration of IOHIDValueGetScaledValue(value, kIOHIDValueScaleTypeCalibrated),
// read from the element's properties when a client has set them.
#define kIOHIDElementCalibrationMinKey "CalibrationMin"
#define kIOHIDElementCalibrationMaxKey "CalibrationMax"
#define kIOHIDElementCalibrationSaturationMinKey "CalibrationSaturationMin"
#define kIOHIDElementCalibrationSaturationMaxKey "CalibrationSaturationMax"
#define kIOHIDElementCalibrationDeadZoneMinKey "CalibrationDeadZoneMin"
#define kIOHIDElementCalibrationDeadZoneMaxKey "CalibrationDeadZoneMax"
#define kIOHIDElementCalibrationGranularityKey "CalibrationGranularity"

CFTypeID IOHIDElementGetTypeID(void);

// The device's elements in descriptor order (collections before what they hold)
// with matching null, or those whose properties hold every key of matching with
// an equal value. A new array, also when empty; caller releases. Null for a
// reference that is not a device. The options are ignored.
CFArrayRef IOHIDDeviceCopyMatchingElements(IOHIDDeviceRef device, CFDictionaryRef matching, IOOptionBits options);

// The element's device, not retained for the caller; null once the device object is gone.
IOHIDDeviceRef IOHIDElementGetDevice(IOHIDElementRef element);
// The enclosing collection, not retained for the caller; null at the top level.
IOHIDElementRef IOHIDElementGetParent(IOHIDElementRef element);

// Unique per device and stable for the device object's life: 1 for the first element.
IOHIDElementCookie IOHIDElementGetCookie(IOHIDElementRef element);
IOHIDElementType IOHIDElementGetType(IOHIDElementRef element);
// Collections only (0 for other elements); a value the descriptor gives beyond
// the named ones is passed on as it is.
IOHIDElementCollectionType IOHIDElementGetCollectionType(IOHIDElementRef element);
uint32_t IOHIDElementGetUsagePage(IOHIDElementRef element);
uint32_t IOHIDElementGetUsage(IOHIDElementRef element);

// Virtual elements are those a HID manager adds of its own; no descriptor makes one.
Boolean IOHIDElementIsVirtual(IOHIDElementRef element);
Boolean IOHIDElementIsRelative(IOHIDElementRef element);
Boolean IOHIDElementIsWrapping(IOHIDElementRef element);
Boolean IOHIDElementIsArray(IOHIDElementRef element);
Boolean IOHIDElementIsNonLinear(IOHIDElementRef element);
Boolean IOHIDElementHasPreferredState(IOHIDElementRef element);
Boolean IOHIDElementHasNullState(IOHIDElementRef element);
// Not retained for the caller; null when the descriptor gives no name (usually).
CFStringRef IOHIDElementGetName(IOHIDElementRef element);

// 0 when the device does not number its reports.
uint32_t IOHIDElementGetReportID(IOHIDElementRef element);
// Bits of one field.
uint32_t IOHIDElementGetReportSize(IOHIDElementRef element);
// 1, or the number of slots of an array element.
uint32_t IOHIDElementGetReportCount(IOHIDElementRef element);
uint32_t IOHIDElementGetUnit(IOHIDElementRef element);
// As the descriptor encodes it: a 4-bit two's complement nibble (0xE for -2).
uint32_t IOHIDElementGetUnitExponent(IOHIDElementRef element);
CFIndex IOHIDElementGetLogicalMin(IOHIDElementRef element);
CFIndex IOHIDElementGetLogicalMax(IOHIDElementRef element);
// The logical extremes when the descriptor gives no physical ones.
CFIndex IOHIDElementGetPhysicalMin(IOHIDElementRef element);
CFIndex IOHIDElementGetPhysicalMax(IOHIDElementRef element);

// The property of that key (see the keys above), not retained for the caller:
// valid until it is replaced or the element released. Null when missing.
CFTypeRef IOHIDElementGetProperty(IOHIDElementRef element, CFStringRef key);
// Stores a property on this element object only; it changes none of the getters
// above. False for a null key or value.
Boolean IOHIDElementSetProperty(IOHIDElementRef element, CFStringRef key, CFTypeRef property);
