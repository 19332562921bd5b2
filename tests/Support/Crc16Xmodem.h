// CRC-16 with the XMODEM parameters (polynomial 0x1021, initial value 0, not
// reflected, no final XOR): the checksum the controller keeps for each section.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvxtest
{

uint16_t crc16Xmodem(const uint8_t* data, size_t size);

} // namespace kvxtest
