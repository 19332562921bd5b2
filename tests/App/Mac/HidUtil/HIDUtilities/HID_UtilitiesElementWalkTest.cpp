// Counting and walking a device's elements by class mask.
#include "ElementDeviceList.h"
#include "EveryElementType.h"

namespace
{
class ElementWalk : public ElementDeviceList
{
protected:
    void SetUp() override
    {
        ElementDeviceList::SetUp();
        device = attachDescribed(everyElementType);
        elements = allElements(device);
        ASSERT_EQ(elements.size(), 8u);
    }

    std::vector<IOHIDElementRef> walk(HIDElementTypeMask mask) const
    {
        std::vector<IOHIDElementRef> walked;
        for (IOHIDElementRef element = HIDGetFirstDeviceElement(device, mask); element != nullptr;
             element = HIDGetNextDeviceElement(element, mask))
            walked.push_back(element);
        EXPECT_EQ(gElementCFArrayRef, nullptr) << "no call leaves the scratch list set";
        return walked;
    }

    IOHIDDeviceRef device = nullptr;
    std::vector<IOHIDElementRef> elements;
};

//==============================================================================
// Faults guarded against: a class mapped to the wrong bit, a bit that selects
// what it should not, a type outside the seven taken for one of them.

TEST_F(ElementWalk, EachMaskBitSelectsItsClassOnly)
{
    EXPECT_EQ(HIDCountDeviceElements(device, HIDElementMaskInput), 4u);
    EXPECT_EQ(HIDCountDeviceElements(device, HIDElementMaskOutput), 1u);
    EXPECT_EQ(HIDCountDeviceElements(device, HIDElementMaskFeature), 1u);
    EXPECT_EQ(HIDCountDeviceElements(device, HIDElementMaskCollection), 2u);
    EXPECT_EQ(HIDCountDeviceElements(device, 30), 8u);
    EXPECT_EQ(walk(HIDElementMaskInput),
              (std::vector<IOHIDElementRef> { elements[scanCode], elements[xAxis], elements[misc], elements[button] }));
    EXPECT_EQ(walk(HIDElementMaskOutput | HIDElementMaskFeature),
              (std::vector<IOHIDElementRef> { elements[outputLED], elements[feature] }));
}

TEST_F(ElementWalk, MasksWithoutAClassBitSelectNothing)
{
    for (HIDElementTypeMask mask : { 0u, 1u, 32u, 0xFFFFFFE1u })
    {
        EXPECT_EQ(HIDCountDeviceElements(device, mask), 0u) << "mask " << mask;
        EXPECT_EQ(HIDGetFirstDeviceElement(device, mask), nullptr) << "mask " << mask;
        EXPECT_EQ(HIDGetNextDeviceElement(elements[applicationCollection], mask), nullptr) << "mask " << mask;
    }
}

//==============================================================================
// Faults guarded against: a walk that runs past its end, returns the element it
// was given, or loses its place at an element the mask does not select.

TEST_F(ElementWalk, NextFindsItsPlaceByIdentityWhateverTheMask)
{
    EXPECT_EQ(HIDGetNextDeviceElement(elements[button], HIDElementMaskInput), nullptr) << "after the last input";
    EXPECT_EQ(HIDGetNextDeviceElement(elements[typeNineCollection], 30), nullptr) << "after the last element";
    EXPECT_EQ(HIDGetNextDeviceElement(elements[applicationCollection], HIDElementMaskInput), elements[scanCode]);
    EXPECT_EQ(HIDGetNextDeviceElement(elements[outputLED], HIDElementMaskCollection), elements[typeNineCollection]);
    EXPECT_EQ(HIDGetNextDeviceElement(elements[scanCode], HIDElementMaskInput), elements[xAxis]);
}

TEST_F(ElementWalk, NullReferencesGiveNothing)
{
    EXPECT_EQ(HIDCountDeviceElements(nullptr, 30), 0u);
    EXPECT_EQ(HIDGetFirstDeviceElement(nullptr, 30), nullptr);
    EXPECT_EQ(HIDGetNextDeviceElement(nullptr, 30), nullptr);
}

TEST_F(ElementWalk, ReferencesOfTheWrongTypeStopTheProgramNamingTheCondition)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto notADevice = reinterpret_cast<IOHIDDeviceRef>(elements[xAxis]);
    auto notAnElement = reinterpret_cast<IOHIDElementRef>(device);
    EXPECT_DEATH(HIDCountDeviceElements(notADevice, 30), "IOHIDDeviceGetTypeID\\(\\) == CFGetTypeID\\(inIOHIDDeviceRef\\)");
    EXPECT_DEATH(HIDGetFirstDeviceElement(notADevice, 30), "IOHIDDeviceGetTypeID\\(\\) == CFGetTypeID\\(inIOHIDDeviceRef\\)");
    EXPECT_DEATH(HIDGetNextDeviceElement(notAnElement, 30),
                 "IOHIDElementGetTypeID\\(\\) == CFGetTypeID\\(inIOHIDElementRef\\)");
}

} // namespace
