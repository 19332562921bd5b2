#include "Support/UpdateReports.h"

#include "Support/Crc16Xmodem.h"
#include "Support/EmulatedController.h"

#include <algorithm>
#include <numeric>

namespace kvxtest
{

namespace
{

void putLittleEndian(std::vector<uint8_t>& report, size_t at, uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        report[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

std::vector<uint8_t> commandReport(uint8_t code, uint8_t argument)
{
    std::vector<uint8_t> report(controllerReportSize, 0);
    report[0] = code;
    report[1] = argument;
    return report;
}

std::vector<uint8_t> startReport(const std::vector<SectionPlan>& sections)
{
    std::vector<uint8_t> report = commandReport(ControllerCode::start);

    for (size_t i = 0; i < sections.size() && i < controllerSectionCount; ++i)
    {
        const size_t at = 7 + 6 * i;
        const std::vector<uint8_t>& data = sections[i].data;
        report[at] = static_cast<uint8_t>((i + 1) | (sections[i].marked ? 0x80 : 0));
        putLittleEndian(report, at + 1, static_cast<uint32_t>(data.size()), 3);
        putLittleEndian(report, at + 4, crc16Xmodem(data.data(), data.size()), 2);
    }

    return report;
}

std::vector<std::vector<uint8_t>> dataBlocks(uint8_t section, const std::vector<uint8_t>& data)
{
    std::vector<std::vector<uint8_t>> blocks;

    for (size_t at = 0; at < data.size(); at += controllerBlockPayload)
    {
        std::vector<uint8_t> block = commandReport(ControllerCode::data, section);
        const size_t count = std::min(controllerBlockPayload, data.size() - at);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), count, block.begin() + 2);
        blocks.push_back(std::move(block));
    }

    return blocks;
}

std::vector<uint8_t> bytesCounting(size_t size, uint8_t first)
{
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

} // namespace kvxtest
