// The updater's side of the update protocol, built independently of the
// application, for tests that talk to the emulated controller themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvxtest
{

struct SectionPlan
{
    bool marked;
    std::vector<uint8_t> data;
};

// A 64-byte report: code in byte 0, argument in byte 1, zeros after.
std::vector<uint8_t> commandReport(uint8_t code, uint8_t argument = 0);
// 0xF0 describing the sections (sizes and CRCs of their data); version 0.
std::vector<uint8_t> startReport(const std::vector<SectionPlan>& sections);
// The 0xF3 reports that carry a section's data, the last one padded with zeros.
std::vector<std::vector<uint8_t>> dataBlocks(uint8_t section, const std::vector<uint8_t>& data);
// size bytes counting up from first, wrapping at 256.
std::vector<uint8_t> bytesCounting(size_t size, uint8_t first);

} // namespace kvxtest
