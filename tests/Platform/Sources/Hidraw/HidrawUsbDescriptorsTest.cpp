#include "Sources/Hidraw/HidrawUsbDescriptors.h"

#include <gtest/gtest.h>

using platform::hidraw::hidCountryCode;

namespace
{
const std::vector<uint8_t> deviceDescriptor = { 18, 0x01, 0x00, 0x02, 0, 0, 0, 64, 0x09, 0x12, 0x0e, 0, 0x23, 0x01, 1, 2, 3, 1 };
const std::vector<uint8_t> configuration = { 9, 0x02, 59, 0, 2, 1, 0, 0x80, 50 };

std::vector<uint8_t> interface(uint8_t number, uint8_t alternate)
{
    return { 9, 0x04, number, alternate, 1, 0x03, 0, 0, 0 };
}

std::vector<uint8_t> hidDescriptor(uint8_t countryCode)
{
    return { 9, 0x21, 0x11, 0x01, countryCode, 1, 0x22, 27, 0 };
}

const std::vector<uint8_t> endpoint = { 7, 0x05, 0x81, 0x03, 64, 0, 1 };

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
} // namespace

TEST(HidrawCountryCode, IsTheOneOfTheNodesOwnInterface)
{
    const auto descriptors = join({ deviceDescriptor, configuration, interface(0, 0), hidDescriptor(9), endpoint,
                                    interface(1, 0), hidDescriptor(33), endpoint });
    EXPECT_EQ(hidCountryCode(descriptors, 0), 9u);
    EXPECT_EQ(hidCountryCode(descriptors, 1), 33u);
    EXPECT_EQ(hidCountryCode(descriptors, 2), std::nullopt);
}

TEST(HidrawCountryCode, IgnoresAlternateSettings)
{
    const auto descriptors = join({ deviceDescriptor, configuration, interface(0, 1), hidDescriptor(5),
                                    interface(0, 0), hidDescriptor(7) });
    EXPECT_EQ(hidCountryCode(descriptors, 0), 7u);
}

// The file comes from the device: broken lengths must not read past its end.
TEST(HidrawCountryCode, IsMissingWhenTheDescriptorsBreakOff)
{
    const auto whole = join({ deviceDescriptor, configuration, interface(0, 0), hidDescriptor(9) });
    for (size_t cut = 0; cut < whole.size(); ++cut)
    {
        const std::vector<uint8_t> truncated(whole.begin(), whole.begin() + static_cast<long>(cut));
        EXPECT_EQ(hidCountryCode(truncated, 0), std::nullopt) << "cut at " << cut;
    }
    auto zeroLength = whole;
    zeroLength[deviceDescriptor.size()] = 0;
    EXPECT_EQ(hidCountryCode(zeroLength, 0), std::nullopt);
}

TEST(HidrawCountryCode, IsMissingForAHidDescriptorTooShortToHoldIt)
{
    const auto descriptors = join({ interface(0, 0), { 4, 0x21, 0x11, 0x01 } });
    EXPECT_EQ(hidCountryCode(descriptors, 0), std::nullopt);
}
