// A KVX-TN in its update mode, as far as the updater can tell. It answers the
// update protocol one output report at a time, reassembles the sections it is
// sent, keeps a transcript of every report both ways, and can be told to
// misbehave at any step. It knows nothing of how reports travel: a
// ControllerTransport hands it each output report and carries out its reaction.
//
// Thread-safe: the host's reports usually arrive on the updater's worker thread
// while a test configures and inspects the controller from its own thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kvxtest
{

// Byte 0 of the reports of the update protocol.
namespace ControllerCode
{
constexpr uint8_t start = 0xF0;
constexpr uint8_t section = 0xF1;
constexpr uint8_t finish = 0xF2;
constexpr uint8_t data = 0xF3;
constexpr uint8_t finishBusy = 0xF7;
constexpr uint8_t startAck = 0xF8;
constexpr uint8_t ack = 0xF9;
constexpr uint8_t sectionEndAlt = 0xFB;
constexpr uint8_t finishDone = 0xFC;
constexpr uint8_t sectionEnd = 0xFE;
} // namespace ControllerCode

constexpr size_t controllerReportSize = 64;
constexpr size_t controllerBlockPayload = 62;
constexpr int controllerSectionCount = 3;

// How the controller departs from the protocol when answering one report.
struct ControllerFault
{
    enum class Kind
    {
        replyCode,      // the usual reply with another code in byte 0
        noReply,        // the report is taken but never answered
        removal,        // the controller unplugs instead of answering
        emptyReply,     // an input report of 0 bytes
        oversizedReply  // the usual reply padded to more than 64 bytes
    };

    Kind kind;
    uint8_t code = 0;
    size_t length = 0;

    static ControllerFault withReplyCode(uint8_t code) { return { Kind::replyCode, code, 0 }; }
    static ControllerFault noReply() { return { Kind::noReply, 0, 0 }; }
    static ControllerFault removal() { return { Kind::removal, 0, 0 }; }
    static ControllerFault emptyReply() { return { Kind::emptyReply, 0, 0 }; }
    static ControllerFault oversizedReply(size_t length) { return { Kind::oversizedReply, 0, length }; }
};

// What the transport does after the controller has taken a report.
struct ControllerReaction
{
    enum class Kind { reply, silence, unplug };

    Kind kind = Kind::silence;
    std::vector<uint8_t> report;
};

struct TranscriptEntry
{
    bool fromHost;
    std::vector<uint8_t> bytes;
};

class EmulatedController
{
public:
    // The number of 0xF2 reports answered with 0xF7 before the first 0xFC.
    void setFinishBusyCount(int count);
    // Ends sections with 0xFB instead of 0xFE.
    void useAlternativeSectionEnd(bool alternative);
    // Misbehaves when answering the given occurrence (counted from 1) of a command.
    void failAt(uint8_t command, int occurrence, ControllerFault fault);

    // Takes one output report as the host wrote it and says how to answer it.
    ControllerReaction receiveOutputReport(const uint8_t* report, size_t length);

    std::vector<TranscriptEntry> transcript() const;
    // The bytes received for a section (1 to 3) since its last 0xF1.
    std::vector<uint8_t> sectionData(int section) const;
    // The section arrived whole: its size and CRC are those announced by 0xF0.
    bool sectionIntact(int section) const;
    // Everything the host did that a real controller would not have expected.
    std::vector<std::string> protocolErrors() const;

private:
    struct Section
    {
        bool marked = false;
        uint32_t size = 0;
        uint16_t crc = 0;
        std::vector<uint8_t> received;
    };

    using Report = std::array<uint8_t, controllerReportSize>;

    std::vector<uint8_t> answer(const Report& report);
    std::vector<uint8_t> answerStart(const Report& report);
    std::vector<uint8_t> answerSection(const Report& report);
    std::vector<uint8_t> answerData(const Report& report);
    std::vector<uint8_t> answerFinish();
    Section* sectionFor(uint8_t number, const char* command);
    uint8_t percentage() const;
    std::vector<uint8_t> reply(uint8_t code, uint8_t percent) const;
    ControllerReaction react(uint8_t command, std::vector<uint8_t> answer);
    ControllerReaction misbehave(const ControllerFault& fault, std::vector<uint8_t> answer) const;
    void record(bool fromHost, const uint8_t* bytes, size_t length);
    void noteError(std::string error);

    mutable std::mutex lock;
    int finishBusyCount = 0;
    uint8_t sectionEndCode = ControllerCode::sectionEnd;
    std::map<std::pair<uint8_t, int>, ControllerFault> faults;
    std::map<uint8_t, int> occurrences;

    bool started = false;
    std::array<Section, controllerSectionCount> sections;
    int currentSection = 0;
    int finishCount = 0;

    std::vector<TranscriptEntry> reports;
    std::vector<std::string> errors;
};

} // namespace kvxtest
