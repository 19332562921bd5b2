#include "HidrawUsbDescriptors.h"

namespace platform::hidraw
{

namespace
{
constexpr uint8_t interfaceDescriptorType = 0x04;
constexpr uint8_t hidDescriptorType = 0x21;
constexpr size_t interfaceDescriptorMinLength = 9;
constexpr size_t hidDescriptorMinLength = 6;
constexpr size_t countryCodeOffset = 4;
} // namespace

std::optional<uint32_t> hidCountryCode(const std::vector<uint8_t>& descriptors, uint32_t interfaceNumber)
{
    bool inWantedInterface = false;
    size_t position = 0;
    while (position + 2 <= descriptors.size())
    {
        const size_t length = descriptors[position];
        const uint8_t type = descriptors[position + 1];
        if (length < 2 || position + length > descriptors.size())
            return std::nullopt;

        const uint8_t* descriptor = descriptors.data() + position;
        if (type == interfaceDescriptorType && length >= interfaceDescriptorMinLength)
            inWantedInterface = descriptor[2] == interfaceNumber && descriptor[3] == 0;
        else if (type == hidDescriptorType && inWantedInterface && length >= hidDescriptorMinLength)
            return descriptor[countryCodeOffset];
        position += length;
    }
    return std::nullopt;
}

} // namespace platform::hidraw
