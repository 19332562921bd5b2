#include "Support/Crc16Xmodem.h"

namespace kvxtest
{

uint16_t crc16Xmodem(const uint8_t* data, size_t size)
{
    uint16_t crc = 0;

    for (size_t i = 0; i < size; ++i)
    {
        crc = static_cast<uint16_t>(crc ^ (data[i] << 8));

        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
    }

    return crc;
}

} // namespace kvxtest
