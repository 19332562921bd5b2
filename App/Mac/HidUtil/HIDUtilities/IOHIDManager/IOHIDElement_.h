// Readers and writers of one HID element's properties, and its calibration.
//
// The calibration is seven number properties kept on the element object itself.
// Each getter stores a default the first time it finds its property missing, so
// reading changes the element. These functions take a valid element reference
// and do not test it: HIDIsValidElement is the test.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

Boolean HIDIsValidElement(IOHIDElementRef inIOHIDElementRef);

// The element's current value scaled by the platform (kIOHIDValueScaleTypePhysical
// or kIOHIDValueScaleTypeCalibrated), truncated toward zero; 0.0 when the device
// gives no value.
double IOHIDElement_GetValue(IOHIDElementRef inIOHIDElementRef, IOHIDValueScaleType inIOHIDValueScaleType);

// Reads a number property as a signed 32-bit value, sign-extended into *outValue.
// False, *outValue untouched, when the property is missing or no number; false,
// with the converted value written, when it does not fit 32 bits exactly.
Boolean IOHIDElement_GetLongProperty(IOHIDElementRef inIOHIDElementRef, CFStringRef inKey, long* outValue);
// Stores the low 32 bits of inValue as a signed 32-bit number property.
void IOHIDElement_SetLongProperty(IOHIDElementRef inIOHIDElementRef, CFStringRef inKey, long inValue);

// Defaults when missing: the minimum starts from the element's "Max" and the
// maximum from its "Min", so that a calibrated range starts inverted; the
// others start from "Min". Without those properties: 2147483647 for the
// minimum, -2147483647 for the others.
CFIndex IOHIDElement_GetCalibrationMin(IOHIDElementRef inIOHIDElementRef);
void IOHIDElement_SetCalibrationMin(IOHIDElementRef inIOHIDElementRef, CFIndex inValue);
CFIndex IOHIDElement_GetCalibrationMax(IOHIDElementRef inIOHIDElementRef);
void IOHIDElement_SetCalibrationMax(IOHIDElementRef inIOHIDElementRef, CFIndex inValue);
CFIndex IOHIDElement_GetCalibrationSaturationMin(IOHIDElementRef inIOHIDElementRef);
void IOHIDElement_SetCalibrationSaturationMin(IOHIDElementRef inIOHIDElementRef, CFIndex inValue);
CFIndex IOHIDElement_GetCalibrationSaturationMax(IOHIDElementRef inIOHIDElementRef);
void IOHIDElement_SetCalibrationSaturationMax(IOHIDElementRef inIOHIDElementRef, CFIndex inValue);
CFIndex IOHIDElement_GetCalibrationDeadZoneMin(IOHIDElementRef inIOHIDElementRef);
void IOHIDElement_SetCalibrationDeadZoneMin(IOHIDElementRef inIOHIDElementRef, CFIndex inValue);
CFIndex IOHIDElement_GetCalibrationDeadZoneMax(IOHIDElementRef inIOHIDElementRef);
void IOHIDElement_SetCalibrationDeadZoneMax(IOHIDElementRef inIOHIDElementRef, CFIndex inValue);
// The granularity is kept as a whole number: the setter truncates toward zero.
double IOHIDElement_GetCalibrationGranularity(IOHIDElementRef inIOHIDElementRef);
void IOHIDElement_SetCalibrationGranularity(IOHIDElementRef inIOHIDElementRef, double inValue);

// Calibration from the element's state: the logical range, no granularity, no
// dead zone, and an empty saturation range at the current physical value.
void IOHIDElement_SetupCalibration(IOHIDElementRef inIOHIDElementRef);
