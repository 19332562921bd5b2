// Element properties and calibration: the lazy defaults and their persistence,
// the 32-bit storage, and the current value.
#include "App/Mac/HidUtil/HIDUtilities/ElementDeviceList.h"

namespace
{
// A joystick: X 16 bits (logical 0..1023, physical 0..1200), Y 8 bits (logical
// -100..100, physical -390..390), Z 8 bits (logical 0..255).
const std::vector<uint8_t> joystick = {
    0x05, 0x01, 0x09, 0x04, 0xA1, 0x01,
    0x15, 0x00, 0x26, 0xFF, 0x03, 0x35, 0x00, 0x46, 0xB0, 0x04,
    0x75, 0x10, 0x95, 0x01, 0x09, 0x30, 0x81, 0x02,
    0x15, 0x9C, 0x25, 0x64, 0x36, 0x7A, 0xFE, 0x46, 0x86, 0x01,
    0x75, 0x08, 0x09, 0x31, 0x81, 0x02,
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x35, 0x00, 0x45, 0x00,
    0x09, 0x32, 0x81, 0x02,
    0xC0,
};

class ElementProperties : public ElementDeviceList
{
protected:
    void SetUp() override
    {
        ElementDeviceList::SetUp();
        const auto elements = allElements(attachDescribed(joystick));
        ASSERT_EQ(elements.size(), 4u);
        x = elements[1];
        y = elements[2];
        z = elements[3];
    }

    static long readBack(IOHIDElementRef element, const char* key, Boolean* exact = nullptr)
    {
        CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
        long value = -12345;
        const Boolean read = IOHIDElement_GetLongProperty(element, name, &value);
        if (exact != nullptr)
            *exact = read;
        CFRelease(name);
        return value;
    }

    // Makes "Min" and "Max" unreadable as numbers, as for an element without them.
    static void withoutExtremes(IOHIDElementRef element)
    {
        IOHIDElementSetProperty(element, CFSTR(kIOHIDElementMinKey), CFSTR("none"));
        IOHIDElementSetProperty(element, CFSTR(kIOHIDElementMaxKey), CFSTR("none"));
    }

    IOHIDElementRef x = nullptr, y = nullptr, z = nullptr;
};

//==============================================================================
// Faults guarded against: the defaults taken from the wrong extreme, or worked
// out anew on every read instead of stored once.

TEST_F(ElementProperties, CalibrationDefaultsStartInvertedFromMaxAndMin)
{
    EXPECT_EQ(IOHIDElement_GetCalibrationMin(z), 255);
    EXPECT_EQ(readBack(z, "CalibrationMin"), 255) << "the default is stored";
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(z), 0);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMin(y), -100);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMax(y), -100);
    EXPECT_EQ(IOHIDElement_GetCalibrationDeadZoneMin(y), -100);
    EXPECT_EQ(IOHIDElement_GetCalibrationDeadZoneMax(y), -100);
    EXPECT_EQ(IOHIDElement_GetCalibrationGranularity(y), -100.0);
}

TEST_F(ElementProperties, WithoutMinAndMaxTheConstantsStandIn)
{
    withoutExtremes(z);
    EXPECT_EQ(IOHIDElement_GetCalibrationMin(z), 2147483647);
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(z), -2147483647);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMin(z), -2147483647);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMax(z), -2147483647);
    EXPECT_EQ(IOHIDElement_GetCalibrationDeadZoneMin(z), -2147483647);
    EXPECT_EQ(IOHIDElement_GetCalibrationDeadZoneMax(z), -2147483647);
    EXPECT_EQ(IOHIDElement_GetCalibrationGranularity(z), -2147483647.0);
}

TEST_F(ElementProperties, AStoredDefaultOutlivesAChangeOfItsSource)
{
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(y), -100);
    IOHIDElement_SetLongProperty(y, CFSTR(kIOHIDElementMinKey), 7);
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(y), -100);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMin(y), 7) << "a default not read before takes the new Min";
}

TEST_F(ElementProperties, AStoredValueBeyond32BitsIsReplacedByTheDefault)
{
    const long long wide = 1LL << 40;
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberLongLongType, &wide);
    IOHIDElementSetProperty(z, CFSTR("CalibrationMax"), number);
    CFRelease(number);
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(z), 0);
    EXPECT_EQ(readBack(z, "CalibrationMax"), 0);
}

//==============================================================================
// Faults guarded against: a wide value stored whole or wrapped wrongly, a sign
// lost on the way back, an output touched on failure.

TEST_F(ElementProperties, LongPropertiesKeepTheLow32BitsWithTheirSign)
{
    IOHIDElement_SetLongProperty(x, CFSTR("Scratch"), (1L << 32) + 1);
    Boolean exact = false;
    EXPECT_EQ(readBack(x, "Scratch", &exact), 1);
    EXPECT_TRUE(exact);
    IOHIDElement_SetLongProperty(x, CFSTR("Scratch"), -5);
    EXPECT_EQ(readBack(x, "Scratch", &exact), -5);
    IOHIDElement_SetLongProperty(x, CFSTR("Scratch"), 0xFFFFFFFFL);
    EXPECT_EQ(readBack(x, "Scratch", &exact), -1);

    EXPECT_EQ(readBack(x, "Missing", &exact), -12345);
    EXPECT_FALSE(exact);
    IOHIDElementSetProperty(x, CFSTR("Text"), CFSTR("5"));
    EXPECT_EQ(readBack(x, "Text", &exact), -12345);
    EXPECT_FALSE(exact);
}

TEST_F(ElementProperties, GranularityIsTruncatedTowardZero)
{
    IOHIDElement_SetCalibrationGranularity(x, 2.9);
    EXPECT_EQ(IOHIDElement_GetCalibrationGranularity(x), 2.0);
    IOHIDElement_SetCalibrationGranularity(x, -2.9);
    EXPECT_EQ(IOHIDElement_GetCalibrationGranularity(x), -2.0);
    IOHIDElement_SetCalibrationGranularity(x, 1e300);
    EXPECT_EQ(IOHIDElement_GetCalibrationGranularity(x), -1.0) << "the low 32 bits of the largest long";
}

//==============================================================================
// Faults guarded against: a value read before any report that is not 0, a
// fraction kept, a setup that does not start the saturation at the current value.

TEST_F(ElementProperties, ValueIsZeroUntilAReportThenTruncatedPhysical)
{
    EXPECT_EQ(IOHIDElement_GetValue(x, kIOHIDValueScaleTypePhysical), 0.0);
    devices.back()->injectInput({ 0xB5, 0x01, 0xFF, 0x00 }); // X 437, Y -1
    ASSERT_TRUE(waitForValue(x, 512.0));
    EXPECT_EQ(IOHIDElement_GetValue(y, kIOHIDValueScaleTypePhysical), -3.0) << "-3.9 truncated toward zero";
}

TEST_F(ElementProperties, SetupCalibrationStartsAnEmptySaturationAtTheCurrentValue)
{
    devices.back()->injectInput({ 0xB5, 0x01, 0x00, 0x00 }); // X 437: 512.6 physical
    ASSERT_TRUE(waitForValue(x, 512.0));
    IOHIDElement_SetupCalibration(x);
    EXPECT_EQ(IOHIDElement_GetCalibrationMin(x), 0);
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(x), 1023);
    EXPECT_EQ(IOHIDElement_GetCalibrationGranularity(x), 0.0);
    EXPECT_EQ(IOHIDElement_GetCalibrationDeadZoneMin(x), 0);
    EXPECT_EQ(IOHIDElement_GetCalibrationDeadZoneMax(x), 0);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMin(x), 512);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMax(x), 512);
}

TEST_F(ElementProperties, ValidityNeedsAnElement)
{
    EXPECT_TRUE(HIDIsValidElement(x));
    EXPECT_FALSE(HIDIsValidElement(nullptr));
    EXPECT_FALSE(HIDIsValidElement(reinterpret_cast<IOHIDElementRef>(HIDGetFirstDevice())));
}

} // namespace
