// Element values: the latest input report's, kept without any run loop, and
// scaled the way HID managers scale them.
#include "Platform/IOKit/IOHIDElementTestSupport.h"

#include "IOKit/IOHIDValueScaling.h"

#include <cmath>

namespace
{
using namespace platformtest;

// An 8-bit X axis (logical -127..127, physical 0..1000) and a button; then the
// same in report 2 as a Y axis.
const Bytes twoReports = {
    0x05, 0x01, 0x09, 0x04, 0xA1, 0x01,                   // Generic Desktop, Joystick, Collection (Application)
    0x85, 0x01,                                           //   Report ID 1
    0x15, 0x81, 0x25, 0x7F, 0x35, 0x00, 0x46, 0xE8, 0x03, //   Logical -127..127, Physical 0..1000
    0x75, 0x08, 0x95, 0x01, 0x09, 0x30, 0x81, 0x02,       //   X: 8 bits, Input (Variable)
    0x05, 0x09, 0x09, 0x01, 0x15, 0x00, 0x25, 0x01,       //   Button 1, Logical 0..1
    0x35, 0x00, 0x45, 0x00,                               //   no physical range
    0x75, 0x01, 0x81, 0x02, 0x75, 0x07, 0x81, 0x03,       //   1 bit, Input; 7 bits padding
    0x85, 0x02, 0x05, 0x01, 0x09, 0x31,                   //   Report ID 2, Y
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x81, 0x02, //   Logical 0..255, 8 bits, Input
    0x09, 0x48, 0x91, 0x02,                               //   an output field
    0xC0,                                                 // End Collection
};

enum ElementIndex
{
    collection,
    xAxis,
    button,
    yAxis,
    output
};

CFIndex integerValue(IOHIDDeviceRef device, IOHIDElementRef element)
{
    IOHIDValueRef value = nullptr;
    if (IOHIDDeviceGetValue(device, element, &value) != kIOReturnSuccess)
        return -9999;
    return IOHIDValueGetIntegerValue(value);
}

//==============================================================================
// Faults guarded against: values that move only while a run loop runs, reports
// of one ID changing elements of another, a stale value seen by the callback.

using ElementValues = DevicesWithDescriptors;

TEST_F(ElementValues, FollowInputReportsWithoutARunLoop)
{
    IOHIDDeviceRef device = attach(twoReports);
    const auto elements = elementsOf(device);
    IOHIDValueRef value = nullptr;
    ASSERT_EQ(IOHIDDeviceGetValue(device, elements[xAxis], &value), kIOReturnSuccess);
    EXPECT_EQ(IOHIDValueGetIntegerValue(value), 0) << "no report yet";
    EXPECT_EQ(IOHIDValueGetTimeStamp(value), 0u);

    inject({ 0x01, 0x9C, 0x01 });
    EXPECT_EQ(integerValue(device, elements[xAxis]), -100);
    EXPECT_EQ(integerValue(device, elements[button]), 1);
    EXPECT_EQ(integerValue(device, elements[yAxis]), 0);

    inject({ 0x02, 0xC8 });
    EXPECT_EQ(integerValue(device, elements[yAxis]), 200);
    EXPECT_EQ(integerValue(device, elements[xAxis]), -100) << "a report of another ID leaves it";
    ASSERT_EQ(IOHIDDeviceGetValue(device, elements[yAxis], &value), kIOReturnSuccess);
    EXPECT_NE(IOHIDValueGetTimeStamp(value), 0u);
    EXPECT_EQ(IOHIDValueGetElement(value), elements[yAxis]);

    inject({ 0x01, 0x05 });
    EXPECT_EQ(integerValue(device, elements[xAxis]), 5);
    EXPECT_EQ(integerValue(device, elements[button]), 1) << "a report too short for the field leaves it";
    EXPECT_EQ(integerValue(device, elements[output]), 0);
}

void readValueInCallback(void* context, IOReturn, void* sender, IOHIDReportType, uint32_t, uint8_t*, CFIndex)
{
    auto& seen = *static_cast<std::vector<CFIndex>*>(context);
    auto device = static_cast<IOHIDDeviceRef>(sender);
    seen.push_back(integerValue(device, elementsOf(device)[yAxis]));
}

TEST_F(ElementValues, TheInputCallbackAlreadySeesItsReportsValues)
{
    IOHIDDeviceRef device = attach(twoReports);
    std::vector<CFIndex> seen;
    uint8_t buffer[8];
    IOHIDDeviceRegisterInputReportCallback(device, buffer, sizeof buffer, readValueInCallback, &seen);
    IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    virtualDevices.back()->injectInput({ 0x02, 0x21 });
    drainCurrentRunLoop();
    EXPECT_EQ(seen, std::vector<CFIndex>({ 0x21 }));

    IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    inject({ 0x02, 0x42 });
    EXPECT_EQ(integerValue(device, elementsOf(device)[yAxis]), 0x42) << "unscheduled again, values still follow";
    EXPECT_EQ(seen.size(), 1u);
}

//==============================================================================
// Faults guarded against: a value object freed while the caller still reads
// it, and values handed out for elements the device does not have.

TEST_F(ElementValues, AValueStaysTheSameObjectUntilItChanges)
{
    IOHIDDeviceRef device = attach(twoReports);
    IOHIDElementRef x = elementsOf(device)[xAxis];
    IOHIDValueRef first = nullptr, second = nullptr;
    IOHIDDeviceGetValue(device, x, &first);
    IOHIDDeviceGetValue(device, x, &second);
    EXPECT_EQ(first, second);
    CFRetain(first);
    inject({ 0x01, 0x10, 0x00 });
    IOHIDDeviceGetValue(device, x, &second);
    EXPECT_NE(first, second);
    EXPECT_EQ(IOHIDValueGetIntegerValue(first), 0) << "a retained value keeps what it held";
    EXPECT_EQ(IOHIDValueGetIntegerValue(second), 0x10);
    CFRelease(first);
}

TEST_F(ElementValues, AreRefusedForCollectionsAndOtherDevicesElements)
{
    IOHIDDeviceRef device = attach(twoReports, 1);
    IOHIDDeviceRef other = attach(twoReports, 2);
    const auto elements = elementsOf(device);
    IOHIDValueRef value = nullptr;
    EXPECT_EQ(IOHIDDeviceGetValue(device, elements[collection], &value), kIOReturnUnsupported);
    EXPECT_EQ(IOHIDDeviceGetValue(other, elements[xAxis], &value), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceGetValue(device, elements[xAxis], nullptr), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceGetValue(device, nullptr, &value), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceGetValue(nullptr, elements[xAxis], &value), kIOReturnBadArgument);
}

TEST_F(ElementValues, OutliveTheDeviceObjectThroughTheirElement)
{
    IOHIDDeviceRef device = attach(twoReports);
    inject({ 0x01, 0x07, 0x00 });
    IOHIDValueRef value = nullptr;
    IOHIDDeviceGetValue(device, elementsOf(device)[xAxis], &value);
    CFRetain(value);
    virtualDevices.back()->detach();
    manager = {};
    drainRunLoop(CFRunLoopGetMain());
    EXPECT_EQ(IOHIDValueGetIntegerValue(value), 7);
    EXPECT_EQ(IOHIDElementGetUsage(IOHIDValueGetElement(value)), 0x30u);
    CFRelease(value);
}

//==============================================================================
// Faults guarded against: scaling that ignores the physical range or the
// element's calibration, or divides by an empty range.

class ScaledValues : public DevicesWithDescriptors
{
protected:
    double scaled(IOHIDElementRef element, CFIndex integer, IOHIDValueScaleType type)
    {
        auto value = Retained<IOHIDValueRef>::adopt(IOHIDValueCreateWithIntegerValue(kCFAllocatorDefault, element, 0, integer));
        return IOHIDValueGetScaledValue(value.get(), type);
    }

    void setCalibration(IOHIDElementRef element, const char* key, int value)
    {
        IOHIDElementSetProperty(element, string(key).get(), number(value).get());
    }
};

TEST_F(ScaledValues, PhysicalMapsTheLogicalRangeOntoThePhysicalOne)
{
    const auto elements = elementsOf(attach(twoReports));
    EXPECT_DOUBLE_EQ(scaled(elements[xAxis], -127, kIOHIDValueScaleTypePhysical), 0.0);
    EXPECT_DOUBLE_EQ(scaled(elements[xAxis], 127, kIOHIDValueScaleTypePhysical), 1000.0);
    EXPECT_DOUBLE_EQ(scaled(elements[xAxis], 0, kIOHIDValueScaleTypePhysical), 500.0);
    EXPECT_DOUBLE_EQ(scaled(elements[button], 1, kIOHIDValueScaleTypePhysical), 1.0)
        << "without a physical range the logical one stands in";
}

TEST_F(ScaledValues, CalibratedFollowsTheElementsCalibrationProperties)
{
    IOHIDElementRef y = elementsOf(attach(twoReports))[yAxis];
    EXPECT_DOUBLE_EQ(scaled(y, 0, kIOHIDValueScaleTypeCalibrated), -1.0);
    EXPECT_DOUBLE_EQ(scaled(y, 255, kIOHIDValueScaleTypeCalibrated), 1.0);

    setCalibration(y, kIOHIDElementCalibrationMinKey, 0);
    setCalibration(y, kIOHIDElementCalibrationMaxKey, 100);
    setCalibration(y, kIOHIDElementCalibrationSaturationMinKey, 10);
    setCalibration(y, kIOHIDElementCalibrationSaturationMaxKey, 210);
    EXPECT_DOUBLE_EQ(scaled(y, 0, kIOHIDValueScaleTypeCalibrated), 0.0) << "clamped to the saturation";
    EXPECT_DOUBLE_EQ(scaled(y, 110, kIOHIDValueScaleTypeCalibrated), 50.0);
    EXPECT_DOUBLE_EQ(scaled(y, 255, kIOHIDValueScaleTypeCalibrated), 100.0);

    setCalibration(y, kIOHIDElementCalibrationDeadZoneMinKey, 100);
    setCalibration(y, kIOHIDElementCalibrationDeadZoneMaxKey, 120);
    EXPECT_DOUBLE_EQ(scaled(y, 105, kIOHIDValueScaleTypeCalibrated), 50.0) << "inside the dead zone";
    EXPECT_DOUBLE_EQ(scaled(y, 55, kIOHIDValueScaleTypeCalibrated), 25.0);
    EXPECT_DOUBLE_EQ(scaled(y, 165, kIOHIDValueScaleTypeCalibrated), 75.0);

    setCalibration(y, kIOHIDElementCalibrationGranularityKey, 10);
    EXPECT_DOUBLE_EQ(scaled(y, 64, kIOHIDValueScaleTypeCalibrated), 30.0);
}

TEST(ValueScaling, EmptyRangesGiveTheirLowerEndRatherThanDividingByZero)
{
    using platform::ValueRange;
    EXPECT_EQ(platform::physicalValue(5, ValueRange { 3, 3 }, ValueRange { 10, 20 }), 10.0);
    platform::Calibration calibration;
    calibration.saturation = ValueRange { 512, 512 };   // as a fresh setup leaves it
    calibration.deadZone = ValueRange { 0, 0 };
    EXPECT_EQ(platform::calibratedValue(0, ValueRange { 0, 1023 }, calibration), -1.0);
    EXPECT_EQ(platform::calibratedValue(1023, ValueRange { 0, 1023 }, calibration), 1.0);
    EXPECT_EQ(platform::calibratedValue(7, ValueRange { 7, 7 }, calibration), -1.0);
    EXPECT_FALSE(std::isnan(platform::calibratedValue(7, ValueRange { 7, 7 }, calibration)));
}

} // namespace
