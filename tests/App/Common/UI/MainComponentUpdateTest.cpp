// The update sequence against the emulated controller: what goes out, byte for
// byte, how each fault ends, and what the progress bar is given.
#include "ComponentTest.h"
#include "MessageLoop.h"

#include "Support/Crc16Xmodem.h"

#include <gtest/gtest.h>

#include <mutex>

namespace uitest
{
namespace
{

using kvxtest::ControllerFault;
namespace Code = kvxtest::ControllerCode;

using Commands = std::vector<std::string>;

std::vector<uint8_t> report(std::initializer_list<uint8_t> head)
{
    std::vector<uint8_t> bytes(head);
    bytes.resize(64, 0);
    return bytes;
}

std::vector<uint8_t> dataReport(uint8_t section, const std::vector<uint8_t>& data, size_t start)
{
    auto bytes = report({ Code::data, section });
    const auto count = std::min<size_t>(62, data.size() - start);
    std::copy_n(data.begin() + (long) start, count, bytes.begin() + 2);
    return bytes;
}

void put(std::vector<uint8_t>& bytes, size_t offset, uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[offset + (size_t) i] = static_cast<uint8_t>(value >> (8 * i));
}

class UpdateSequence : public ComponentTest
{
protected:
    std::vector<uint8_t> expectedStartReport(uint8_t versionHigh, uint8_t versionLow) const
    {
        auto bytes = report({ Code::start, 0, versionHigh, versionLow });
        uint32_t total = 0;

        for (size_t s = 0; s < 3; ++s)
        {
            const auto& data = parts.sections[s];
            const auto descriptor = 7 + 6 * s;
            bytes[descriptor] = static_cast<uint8_t>((s + 1) | (parts.sendFlags[s] == 'Y' ? 0x80 : 0));
            put(bytes, descriptor + 1, static_cast<uint32_t>(data.size()), 3);
            put(bytes, descriptor + 4, kvxtest::crc16Xmodem(data.data(), data.size()), 2);
            total += static_cast<uint32_t>(data.size());
        }

        put(bytes, 4, total + static_cast<uint32_t>(parts.trailer.size()), 3);
        return bytes;
    }

    void expectEnd(int state, const Commands& commands)
    {
        ASSERT_TRUE(runUntilFinished()) << "still in state " << component->getSequence();
        EXPECT_EQ(state, component->getSequence());
        EXPECT_EQ(commands, commandsSent());
    }

    const Commands everySection { "F0 00", "F1 01", "F3 01", "F1 02", "F3 02", "F3 02",
                                  "F1 03", "F3 03", "F2 00" };
};

//==============================================================================
// A complete update: every report as the controller's protocol wants it.
TEST_F(UpdateSequence, CompleteUpdateIsByteExact)
{
    parts.sections[2].clear(); // a marked section of 0 bytes gets 0xF1 and no data
    parts.trailer = { 1, 2, 3 };
    controller.setFinishBusyCount(2);
    startUpdate();

    ASSERT_TRUE(runUntilFinished());
    EXPECT_EQ(SeqComplete, component->getSequence());

    const auto& s1 = parts.sections[0];
    const auto& s2 = parts.sections[1];
    const std::vector<std::vector<uint8_t>> expected {
        expectedStartReport(0x07, 0xB0),
        report({ Code::section, 1 }), dataReport(1, s1, 0),
        report({ Code::section, 2 }), dataReport(2, s2, 0), dataReport(2, s2, 62),
        report({ Code::section, 3 }),
        report({ Code::finish }), report({ Code::finish }), report({ Code::finish })
    };
    EXPECT_EQ(expected, reportsSent());
    EXPECT_TRUE(controller.protocolErrors().empty()) << controller.protocolErrors().front();
}

TEST_F(UpdateSequence, ControllerReassemblesTheFilesSections)
{
    parts.sections[1] = testPattern(1000, 0x55);
    startUpdate();

    ASSERT_TRUE(runUntilFinished());
    EXPECT_EQ(SeqComplete, component->getSequence());

    for (int s = 1; s <= 3; ++s)
    {
        EXPECT_EQ(parts.sections[(size_t) s - 1], controller.sectionData(s)) << "section " << s;
        EXPECT_TRUE(controller.sectionIntact(s)) << "section " << s;
    }
}

TEST_F(UpdateSequence, StartReportCarriesTheVersionShiftedBy4)
{
    parts.versionDigits = "999";
    startUpdate();

    ASSERT_TRUE(runUntilFinished());
    EXPECT_EQ(expectedStartReport(0x3E, 0x70), reportsSent().at(0));
}

TEST_F(UpdateSequence, LastBlockMayEndWithTheAlternativeCode)
{
    controller.useAlternativeSectionEnd(true);
    startUpdate();

    expectEnd(SeqComplete, everySection);
}

TEST_F(UpdateSequence, UnmarkedSectionsAreDescribedButNotSent)
{
    parts.sendFlags = { 'Y', 'N', 'Y' };
    startUpdate();

    expectEnd(SeqComplete, { "F0 00", "F1 01", "F3 01", "F1 03", "F3 03", "F2 00" });
    EXPECT_EQ(expectedStartReport(0x07, 0xB0), reportsSent().at(0));
}

TEST_F(UpdateSequence, NoMarkedSectionGoesStraightToTheFinish)
{
    parts.sendFlags = { 'N', 'N', 'N' };
    controller.setFinishBusyCount(1);
    startUpdate();

    expectEnd(SeqComplete, { "F0 00", "F2 00", "F2 00" });
}

//==============================================================================
// Each row of the failure table.
TEST_F(UpdateSequence, StartUnansweredEndsWithoutFinish)
{
    shortenWaits();
    controller.failAt(Code::start, 1, ControllerFault::noReply());
    startUpdate();

    expectEnd(SeqError, { "F0 00" });
}

TEST_F(UpdateSequence, StartRefusedEndsWithoutFinish)
{
    controller.failAt(Code::start, 1, ControllerFault::withReplyCode(Code::ack));
    startUpdate();

    expectEnd(SeqError, { "F0 00" });
}

TEST_F(UpdateSequence, SectionUnansweredGoesToTheFinish)
{
    shortenWaits();
    controller.failAt(Code::section, 2, ControllerFault::noReply());
    startUpdate();

    expectEnd(SeqError, { "F0 00", "F1 01", "F3 01", "F1 02", "F2 00" });
}

TEST_F(UpdateSequence, SectionAnsweredOtherwiseIsSkipped)
{
    controller.failAt(Code::section, 1, ControllerFault::withReplyCode(Code::sectionEnd));
    startUpdate();

    expectEnd(SeqComplete, { "F0 00", "F1 01", "F1 02", "F3 02", "F3 02", "F1 03", "F3 03", "F2 00" });
}

TEST_F(UpdateSequence, DataBlockUnansweredGoesToTheFinish)
{
    shortenWaits();
    controller.failAt(Code::data, 2, ControllerFault::noReply());
    startUpdate();

    expectEnd(SeqError, { "F0 00", "F1 01", "F3 01", "F1 02", "F3 02", "F2 00" });
}

TEST_F(UpdateSequence, SectionEndBeforeTheLastBlockFailsDespiteTheFinish)
{
    controller.failAt(Code::data, 2, ControllerFault::withReplyCode(Code::sectionEnd));
    startUpdate();

    expectEnd(SeqError, { "F0 00", "F1 01", "F3 01", "F1 02", "F3 02", "F2 00" });
}

TEST_F(UpdateSequence, LastBlockAnsweredWithAckFails)
{
    controller.failAt(Code::data, 1, ControllerFault::withReplyCode(Code::ack));
    startUpdate();

    expectEnd(SeqError, { "F0 00", "F1 01", "F3 01", "F2 00" });
}

TEST_F(UpdateSequence, FinishUnansweredFails)
{
    shortenWaits();
    controller.setFinishBusyCount(1);
    controller.failAt(Code::finish, 2, ControllerFault::noReply());
    startUpdate();

    Commands commands = everySection;
    commands.push_back("F2 00");
    expectEnd(SeqError, commands);
}

TEST_F(UpdateSequence, FinishAnsweredOtherwiseFails)
{
    controller.failAt(Code::finish, 1, ControllerFault::withReplyCode(Code::ack));
    startUpdate();

    expectEnd(SeqError, everySection);
}

//==============================================================================
// The file is read again during the update: what goes out must be what was checked.
TEST_F(UpdateSequence, FileGoneBeforeStartSendsNoSection)
{
    createReadyComponent();
    file->remove();
    pressOk();

    expectEnd(SeqError, { "F0 00", "F2 00" });
}

TEST_F(UpdateSequence, SectionChangedSinceTheCheckIsNotSent)
{
    createReadyComponent();
    auto changed = parts.build();
    changed[parts.dataOffset(1) + 62] ^= 0xFF;
    file->replace(changed);
    pressOk();

    expectEnd(SeqError, { "F0 00", "F1 01", "F3 01", "F2 00" });
    EXPECT_TRUE(controller.sectionData(2).empty());
}

TEST_F(UpdateSequence, FileShortenedSinceTheCheckSendsNothingOfTheMissingSection)
{
    createReadyComponent();
    auto shortened = parts.build();
    shortened.resize(parts.dataOffset(2) + 4);
    file->replace(shortened);
    pressOk();

    expectEnd(SeqError, { "F0 00", "F1 01", "F3 01", "F1 02", "F3 02", "F3 02", "F2 00" });
}

TEST_F(UpdateSequence, UnmarkedSectionChangedSinceTheCheckFailsToo)
{
    parts.sendFlags = { 'Y', 'Y', 'N' };
    createReadyComponent();
    auto changed = parts.build();
    changed[parts.dataOffset(2)] ^= 0xFF;
    file->replace(changed);
    pressOk();

    expectEnd(SeqError, { "F0 00", "F1 01", "F3 01", "F1 02", "F3 02", "F3 02", "F2 00" });
}

//==============================================================================
// The progress bar follows the controller's percentage one block behind, and
// the finish replies' percentages directly.
TEST_F(UpdateSequence, ProgressTrailsTheControllerByOneBlock)
{
    controller.setFinishBusyCount(2);
    std::vector<std::pair<std::string, double>> seen;
    transport.beforeEachReport = [this, &seen](const std::vector<uint8_t>& bytes) {
        seen.emplace_back(describeCommand(bytes[0], bytes[1]), component->getProgress());
    };
    startUpdate();

    ASSERT_TRUE(runUntilFinished());

    // 130 bytes announced: the controller reports 62, 124, 125 and 130 of them;
    // each percentage reaches the bar just before the next data block.
    const std::vector<std::pair<std::string, double>> expected {
        { "F0 00", 0.0 }, { "F1 01", 0.0 }, { "F3 01", 0.0 },
        { "F1 02", 0.0 }, { "F3 02", 0.47 }, { "F3 02", 0.95 },
        { "F1 03", 0.95 }, { "F3 03", 0.96 },
        { "F2 00", 0.96 }, { "F2 00", 0.33 }, { "F2 00", 0.66 }
    };
    EXPECT_EQ(expected, seen);
    EXPECT_EQ(1.0, component->getProgress());
}

//==============================================================================
// The controller's allowances: 10 s for a reply, 180 s for a data block's, and
// a pause of 100 ms after each finish reply before the next poll or the end.
std::mutex stepsLock;
Commands steps; // each report sent, each wait and each pause, in order

void note(const std::string& step)
{
    const std::lock_guard<std::mutex> lock(stepsLock);
    steps.push_back(step);
}

const MainComponentProbe::UpdateWaits notingWaits {
    [](const juce::WaitableEvent& reply, int timeoutMs) {
        note("wait " + std::to_string(timeoutMs));
        return MainComponentProbe::threadWaits.forReply(reply, timeoutMs);
    },
    [](const juce::Thread& updateThread, int pauseMs) {
        note("pause " + std::to_string(pauseMs));
        return MainComponentProbe::threadWaits.betweenFinishPolls(updateThread, pauseMs);
    }
};

TEST_F(UpdateSequence, WaitsAsLongAsTheControllerIsAllowed)
{
    controller.setFinishBusyCount(1);
    steps.clear();
    transport.beforeEachReport = [](const std::vector<uint8_t>& bytes) { note(describeCommand(bytes[0], bytes[1])); };
    MainComponentProbe::setWaits(notingWaits);
    startUpdate();

    ASSERT_TRUE(runUntilFinished());
    const Commands expected { "F0 00", "wait 10000", "F1 01", "wait 10000", "F3 01", "wait 180000",
                              "F1 02", "wait 10000", "F3 02", "wait 180000", "F3 02", "wait 180000",
                              "F1 03", "wait 10000", "F3 03", "wait 180000",
                              "F2 00", "wait 10000", "pause 100", "F2 00", "wait 10000", "pause 100" };
    EXPECT_EQ(expected, steps);
}

} // namespace
} // namespace uitest
