#include "Sources/Hidraw/HidrawLocation.h"

#include <gtest/gtest.h>

using platform::hidraw::hashedLocationID;
using platform::hidraw::usbLocationID;

// The device list sorts by LocationID: a wrong digit order would pick the
// wrong one of two controllers.
TEST(HidrawUsbLocationID, PutsTheBusOnTopAndOneDigitPerPortBelowIt)
{
    EXPECT_EQ(usbLocationID(1, "2.3"), 0x01230000u);
    EXPECT_EQ(usbLocationID(3, "1"), 0x03100000u);
    EXPECT_EQ(usbLocationID(255, "15.15.15.15.15.15"), 0xFFFFFFFFu);
}

TEST(HidrawUsbLocationID, SortsByBusThenByPortPath)
{
    EXPECT_LT(*usbLocationID(1, "2.3"), *usbLocationID(1, "3"));
    EXPECT_LT(*usbLocationID(1, "2"), *usbLocationID(1, "2.1"));
    EXPECT_LT(*usbLocationID(1, "15.15"), *usbLocationID(2, "1"));
}

// A value that does not fit would collide with another device's.
TEST(HidrawUsbLocationID, IsMissingWhenThePathDoesNotFitTheScheme)
{
    EXPECT_EQ(usbLocationID(1, "16"), std::nullopt);
    EXPECT_EQ(usbLocationID(1, "1.2.3.4.5.6.7"), std::nullopt);
    EXPECT_EQ(usbLocationID(256, "1"), std::nullopt);
    EXPECT_EQ(usbLocationID(0, "1"), std::nullopt);
}

TEST(HidrawUsbLocationID, IsMissingForTextThatIsNotAPortPath)
{
    for (const char* devpath : { "", "0", ".", "2.", ".2", "2..3", "a", "-1", " 2", "2.3x", "99999999999" })
        EXPECT_EQ(usbLocationID(1, devpath), std::nullopt) << "devpath \"" << devpath << "\"";
}

TEST(HidrawHashedLocationID, StaysTheSameForTheSameDeviceAndDiffersForAnother)
{
    const auto first = hashedLocationID("usb-0000:00:14.0-1/input0", "aa:bb:cc:dd:ee:ff");
    EXPECT_EQ(first, hashedLocationID("usb-0000:00:14.0-1/input0", "aa:bb:cc:dd:ee:ff"));
    EXPECT_NE(first, hashedLocationID("usb-0000:00:14.0-1/input0", "aa:bb:cc:dd:ee:00"));
    EXPECT_NE(hashedLocationID("ab", "c"), hashedLocationID("a", "bc"));
}

TEST(HidrawHashedLocationID, IsMissingWithoutAnythingToHash)
{
    EXPECT_EQ(hashedLocationID("", ""), std::nullopt);
}
