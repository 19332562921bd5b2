#include "Support/EmulatedController.h"

#include "Support/Crc16Xmodem.h"

#include <algorithm>
#include <cstdio>

namespace kvxtest
{

namespace
{

std::string hexByte(uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof(text), "0x%02X", value);
    return text;
}

uint32_t readLittleEndian(const uint8_t* bytes, int count)
{
    uint32_t value = 0;

    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];

    return value;
}

// Each section descriptor of the start report: number (bit 7 set when it is
// sent), size in 24 bits and CRC in 16, all little-endian, from byte 7 on.
constexpr size_t firstDescriptor = 7;
constexpr size_t descriptorSize = 6;

} // namespace

void EmulatedController::setFinishBusyCount(int count)
{
    std::lock_guard<std::mutex> guard(lock);
    finishBusyCount = count;
}

void EmulatedController::useAlternativeSectionEnd(bool alternative)
{
    std::lock_guard<std::mutex> guard(lock);
    sectionEndCode = alternative ? ControllerCode::sectionEndAlt : ControllerCode::sectionEnd;
}

void EmulatedController::failAt(uint8_t command, int occurrence, ControllerFault fault)
{
    std::lock_guard<std::mutex> guard(lock);
    faults.insert_or_assign({ command, occurrence }, fault);
}

ControllerReaction EmulatedController::receiveOutputReport(const uint8_t* report, size_t length)
{
    std::lock_guard<std::mutex> guard(lock);
    record(true, report, length);

    if (report == nullptr || length == 0)
    {
        noteError("output report of 0 bytes");
        return {};
    }

    if (length != controllerReportSize)
        noteError("output report of " + std::to_string(length) + " bytes");

    // A short report reads as if padded with zeros, a long one is cut: the
    // controller's endpoint takes 64 bytes.
    Report padded {};
    std::copy_n(report, std::min(length, controllerReportSize), padded.begin());
    return react(padded[0], answer(padded));
}

std::vector<TranscriptEntry> EmulatedController::transcript() const
{
    std::lock_guard<std::mutex> guard(lock);
    return reports;
}

std::vector<uint8_t> EmulatedController::sectionData(int section) const
{
    std::lock_guard<std::mutex> guard(lock);

    if (section < 1 || section > controllerSectionCount)
        return {};

    return sections[static_cast<size_t>(section - 1)].received;
}

bool EmulatedController::sectionIntact(int section) const
{
    std::lock_guard<std::mutex> guard(lock);

    if (section < 1 || section > controllerSectionCount)
        return false;

    const Section& s = sections[static_cast<size_t>(section - 1)];
    return s.received.size() == s.size && crc16Xmodem(s.received.data(), s.received.size()) == s.crc;
}

std::vector<std::string> EmulatedController::protocolErrors() const
{
    std::lock_guard<std::mutex> guard(lock);
    return errors;
}

//==============================================================================
std::vector<uint8_t> EmulatedController::answer(const Report& report)
{
    const uint8_t command = report[0];

    if (command != ControllerCode::start && ! started)
        noteError(hexByte(command) + " before 0xF0");

    switch (command)
    {
        case ControllerCode::start:   return answerStart(report);
        case ControllerCode::section: return answerSection(report);
        case ControllerCode::data:    return answerData(report);
        case ControllerCode::finish:  return answerFinish();
        default:
            noteError("unknown command " + hexByte(command));
            return {};
    }
}

std::vector<uint8_t> EmulatedController::answerStart(const Report& report)
{
    for (size_t i = 0; i < sections.size(); ++i)
    {
        const uint8_t* descriptor = report.data() + firstDescriptor + i * descriptorSize;

        if ((descriptor[0] & 0x7F) != i + 1)
            noteError("section descriptor " + std::to_string(i + 1) + " reads " + hexByte(descriptor[0]));

        sections[i] = Section { (descriptor[0] & 0x80) != 0,
                                readLittleEndian(descriptor + 1, 3),
                                static_cast<uint16_t>(readLittleEndian(descriptor + 4, 2)),
                                {} };
    }

    started = true;
    currentSection = 0;
    finishCount = 0;
    return reply(ControllerCode::startAck, 0);
}

std::vector<uint8_t> EmulatedController::answerSection(const Report& report)
{
    if (Section* section = sectionFor(report[1], "0xF1"))
    {
        if (! section->marked)
            noteError("0xF1 for section " + std::to_string(report[1]) + ", which 0xF0 did not mark");

        section->received.clear();
        currentSection = report[1];
    }

    return reply(ControllerCode::ack, percentage());
}

std::vector<uint8_t> EmulatedController::answerData(const Report& report)
{
    Section* section = sectionFor(report[1], "0xF3");

    if (section != nullptr && report[1] != currentSection)
    {
        noteError("0xF3 for section " + std::to_string(report[1]) + " while section "
                  + std::to_string(currentSection) + " is open");
        section = nullptr;
    }

    if (section != nullptr && section->received.size() >= section->size)
    {
        noteError("0xF3 beyond the size of section " + std::to_string(report[1]));
        section = nullptr;
    }

    if (section == nullptr)
        return reply(ControllerCode::ack, percentage());

    const size_t remaining = section->size - section->received.size();
    const uint8_t* payload = report.data() + 2;
    section->received.insert(section->received.end(), payload, payload + std::min(remaining, controllerBlockPayload));

    const bool last = section->received.size() == section->size;
    return reply(last ? sectionEndCode : ControllerCode::ack, percentage());
}

std::vector<uint8_t> EmulatedController::answerFinish()
{
    ++finishCount;

    if (finishCount <= finishBusyCount)
        return reply(ControllerCode::finishBusy, static_cast<uint8_t>(finishCount * 100 / (finishBusyCount + 1)));

    return reply(ControllerCode::finishDone, 100);
}

EmulatedController::Section* EmulatedController::sectionFor(uint8_t number, const char* command)
{
    if (number >= 1 && number <= controllerSectionCount)
        return &sections[number - 1u];

    noteError(std::string(command) + " for section " + std::to_string(number));
    return nullptr;
}

// The share of the announced bytes received so far, so that it rises with
// every block the host sends.
uint8_t EmulatedController::percentage() const
{
    uint64_t announced = 0;
    uint64_t received = 0;

    for (const Section& section : sections)
    {
        if (! section.marked)
            continue;

        announced += section.size;
        received += std::min<uint64_t>(section.received.size(), section.size);
    }

    return static_cast<uint8_t>(announced == 0 ? 100 : received * 100 / announced);
}

std::vector<uint8_t> EmulatedController::reply(uint8_t code, uint8_t percent) const
{
    std::vector<uint8_t> report(controllerReportSize, 0);
    report[0] = code;
    report[1] = percent;
    return report;
}

ControllerReaction EmulatedController::react(uint8_t command, std::vector<uint8_t> answer)
{
    const int occurrence = ++occurrences[command];
    const auto fault = faults.find({ command, occurrence });
    ControllerReaction reaction { answer.empty() ? ControllerReaction::Kind::silence : ControllerReaction::Kind::reply,
                                  std::move(answer) };

    if (fault != faults.end())
        reaction = misbehave(fault->second, std::move(reaction.report));

    if (reaction.kind == ControllerReaction::Kind::reply)
        record(false, reaction.report.data(), reaction.report.size());

    return reaction;
}

ControllerReaction EmulatedController::misbehave(const ControllerFault& fault, std::vector<uint8_t> answer) const
{
    using Kind = ControllerReaction::Kind;

    switch (fault.kind)
    {
        case ControllerFault::Kind::replyCode:  return { Kind::reply, reply(fault.code, percentage()) };
        case ControllerFault::Kind::noReply:    return { Kind::silence, {} };
        case ControllerFault::Kind::removal:    return { Kind::unplug, {} };
        case ControllerFault::Kind::emptyReply: return { Kind::reply, {} };
        case ControllerFault::Kind::oversizedReply:
            answer.resize(fault.length, 0);
            return { Kind::reply, std::move(answer) };
    }

    return {};
}

void EmulatedController::record(bool fromHost, const uint8_t* bytes, size_t length)
{
    reports.push_back({ fromHost, bytes == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(bytes, bytes + length) });
}

void EmulatedController::noteError(std::string error)
{
    errors.push_back(std::move(error));
}

} // namespace kvxtest
