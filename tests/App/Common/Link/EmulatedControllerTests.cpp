// The emulated controller's protocol handling on its own, without a transport:
// other tests trust it to judge what the updater sends.
#include "Support/Crc16Xmodem.h"
#include "Support/EmulatedController.h"
#include "Support/UpdateReports.h"

#include <gtest/gtest.h>

namespace kvxtest
{
namespace
{

using Report = std::vector<uint8_t>;

class EmulatedControllerTest : public ::testing::Test
{
protected:
    ControllerReaction send(const Report& report)
    {
        return controller.receiveOutputReport(report.data(), report.size());
    }

    // Sends a section the way the updater does and returns the reply codes.
    std::vector<uint8_t> sendSection(uint8_t section, const std::vector<uint8_t>& data)
    {
        std::vector<uint8_t> codes { send(commandReport(ControllerCode::section, section)).report.at(0) };

        for (const Report& block : dataBlocks(section, data))
            codes.push_back(send(block).report.at(0));

        return codes;
    }

    EmulatedController controller;
    const std::vector<SectionPlan> plan { { true, bytesCounting(100, 1) },
                                          { false, bytesCounting(30, 7) },
                                          { true, bytesCounting(62, 9) } };
};

//==============================================================================
TEST(Crc16XmodemTest, MatchesTheStandardCheckValue)
{
    const std::string check = "123456789";
    EXPECT_EQ(crc16Xmodem(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x31C3);
    EXPECT_EQ(crc16Xmodem(nullptr, 0), 0);
}

//==============================================================================
// A well-behaved update must be answered exactly as the real controller does.
TEST_F(EmulatedControllerTest, AnswersEachStepWithItsReplyCode)
{
    controller.setFinishBusyCount(2);

    EXPECT_EQ(send(startReport(plan)).report.at(0), ControllerCode::startAck);
    EXPECT_EQ(sendSection(1, plan[0].data),
              (std::vector<uint8_t> { ControllerCode::ack, ControllerCode::ack, ControllerCode::sectionEnd }));
    EXPECT_EQ(sendSection(3, plan[2].data), (std::vector<uint8_t> { ControllerCode::ack, ControllerCode::sectionEnd }));
    EXPECT_EQ(send(commandReport(ControllerCode::finish)).report.at(0), ControllerCode::finishBusy);
    EXPECT_EQ(send(commandReport(ControllerCode::finish)).report.at(0), ControllerCode::finishBusy);
    EXPECT_EQ(send(commandReport(ControllerCode::finish)).report.at(0), ControllerCode::finishDone);
    EXPECT_TRUE(controller.protocolErrors().empty()) << ::testing::PrintToString(controller.protocolErrors());
}

TEST_F(EmulatedControllerTest, EndsSectionsWithTheAlternativeCodeWhenTold)
{
    controller.useAlternativeSectionEnd(true);
    send(startReport(plan));

    EXPECT_EQ(sendSection(3, plan[2].data), (std::vector<uint8_t> { ControllerCode::ack, ControllerCode::sectionEndAlt }));
}

TEST_F(EmulatedControllerTest, PercentageRisesToAHundredOverTheMarkedSections)
{
    send(startReport(plan));
    std::vector<int> percentages;

    for (uint8_t section : { 1, 3 })
    {
        send(commandReport(ControllerCode::section, section));

        for (const Report& block : dataBlocks(section, plan[section - 1u].data))
            percentages.push_back(send(block).report.at(1));
    }

    // 62 of 162 bytes, 100 of 162, then all.
    EXPECT_EQ(percentages, (std::vector<int> { 38, 61, 100 }));
}

//==============================================================================
// The controller must notice a section that did not arrive as announced.
TEST_F(EmulatedControllerTest, ReassemblesSectionsWithoutThePadding)
{
    send(startReport(plan));
    sendSection(1, plan[0].data);

    EXPECT_EQ(controller.sectionData(1), plan[0].data);
    EXPECT_TRUE(controller.sectionIntact(1));
    EXPECT_FALSE(controller.sectionIntact(3)) << "nothing of section 3 was sent";
}

TEST_F(EmulatedControllerTest, FindsACorruptedSectionThroughItsCrc)
{
    send(startReport(plan));
    std::vector<uint8_t> corrupted = plan[0].data;
    corrupted[70] ^= 0x01;
    sendSection(1, corrupted);

    EXPECT_FALSE(controller.sectionIntact(1));
}

TEST_F(EmulatedControllerTest, NotesBlocksThatDoNotFitTheAnnouncement)
{
    send(startReport(plan));
    sendSection(3, plan[2].data);
    send(dataBlocks(3, plan[2].data).front());
    send(dataBlocks(1, plan[0].data).front());

    EXPECT_EQ(controller.protocolErrors(),
              (std::vector<std::string> { "0xF3 beyond the size of section 3", "0xF3 for section 1 while section 3 is open" }));
    EXPECT_TRUE(controller.sectionIntact(3));
}

//==============================================================================
// Every fault the updater must survive has to come out as configured, at the
// configured step only.
TEST_F(EmulatedControllerTest, ReplacesTheReplyCodeAtTheChosenOccurrence)
{
    controller.failAt(ControllerCode::data, 2, ControllerFault::withReplyCode(0x00));
    send(startReport(plan));

    EXPECT_EQ(sendSection(1, plan[0].data), (std::vector<uint8_t> { ControllerCode::ack, ControllerCode::ack, 0x00 }));
}

TEST_F(EmulatedControllerTest, StaysSilentOrUnplugsWhenTold)
{
    controller.failAt(ControllerCode::start, 1, ControllerFault::noReply());
    controller.failAt(ControllerCode::finish, 1, ControllerFault::removal());

    EXPECT_EQ(send(startReport(plan)).kind, ControllerReaction::Kind::silence);
    EXPECT_EQ(send(commandReport(ControllerCode::finish)).kind, ControllerReaction::Kind::unplug);
}

TEST_F(EmulatedControllerTest, SendsRepliesOfTheWrongLengthWhenTold)
{
    controller.failAt(ControllerCode::start, 1, ControllerFault::emptyReply());
    controller.failAt(ControllerCode::section, 1, ControllerFault::oversizedReply(70));
    send(startReport(plan));
    const ControllerReaction oversized = send(commandReport(ControllerCode::section, 1));

    ASSERT_EQ(oversized.report.size(), 70u);
    EXPECT_EQ(oversized.report[0], ControllerCode::ack);

    const auto transcript = controller.transcript();
    ASSERT_EQ(transcript.size(), 4u);
    EXPECT_FALSE(transcript[1].fromHost);
    EXPECT_EQ(transcript[1].bytes.size(), 0u) << "the empty reply belongs in the transcript";
    EXPECT_EQ(transcript[3].bytes.size(), 70u);
}

//==============================================================================
// Whatever the host sends, the controller must not crash or read past it.
TEST_F(EmulatedControllerTest, SurvivesMalformedOutputReports)
{
    const uint8_t finishByte = ControllerCode::finish;
    send(startReport(plan));

    EXPECT_EQ(controller.receiveOutputReport(nullptr, 0).kind, ControllerReaction::Kind::silence);
    EXPECT_EQ(controller.receiveOutputReport(&finishByte, 1).report.at(0), ControllerCode::finishDone);
    EXPECT_EQ(send(commandReport(0x42)).kind, ControllerReaction::Kind::silence);
    EXPECT_EQ(send(commandReport(ControllerCode::section, 9)).report.at(0), ControllerCode::ack);

    EXPECT_EQ(controller.protocolErrors(),
              (std::vector<std::string> { "output report of 0 bytes", "output report of 1 bytes", "unknown command 0x42",
                                          "0xF1 for section 9" }));
}

} // namespace
} // namespace kvxtest
