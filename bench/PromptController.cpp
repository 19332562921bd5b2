#include "PromptController.h"

namespace bench
{

namespace
{
constexpr size_t reportSize = 64;
constexpr uint32_t blockPayload = 62;

uint32_t read24(const uint8_t* bytes)
{
    return bytes[0] | (bytes[1] << 8) | (static_cast<uint32_t>(bytes[2]) << 16);
}
} // namespace

std::vector<uint8_t> PromptController::answer(const uint8_t* report, size_t length)
{
    if (length < reportSize)
        return {};

    switch (report[0])
    {
        case 0xF0: takeStart(report); return reply(0xF8);
        case 0xF1:
            blocksOfSection = report[1] >= 1 && report[1] <= 3 ? blocksPerSection[report[1] - 1u] : 0;
            blocksReceived = 0;
            return reply(0xF9);
        case 0xF3: return reply(dataReplyCode());
        case 0xF2: return reply(0xFC);
        default:   return {};
    }
}

std::vector<uint8_t> PromptController::reply(uint8_t code) const
{
    std::vector<uint8_t> bytes(reportSize, 0);
    bytes[0] = code;
    bytes[1] = static_cast<uint8_t>(blocksInAll == 0 ? 100 : blocksSent * 100 / blocksInAll);
    return bytes;
}

// Each section's descriptor: number, 24-bit size, 16-bit CRC, from byte 7 on.
void PromptController::takeStart(const uint8_t* report)
{
    blocksInAll = 0;
    blocksSent = 0;
    for (size_t s = 0; s < blocksPerSection.size(); ++s)
    {
        const uint8_t* descriptor = report + 7 + 6 * s;
        const uint32_t size = read24(descriptor + 1);
        blocksPerSection[s] = (size + blockPayload - 1) / blockPayload;
        if ((descriptor[0] & 0x80) != 0)
            blocksInAll += blocksPerSection[s];
    }
}

uint8_t PromptController::dataReplyCode()
{
    ++blocksSent;
    return ++blocksReceived == blocksOfSection ? 0xFE : 0xF9;
}

} // namespace bench
