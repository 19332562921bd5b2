// The real application, driven as a user drives it, against an emulated
// controller on the Linux device source: what its window shows at each step,
// and what reaches the controller. Each screen's picture is kept in the build
// tree. The binary runs under umockdev-wrapper.
#include "ApplicationSession.h"

#include "App/Common/UI/UpdateFileBuilder.h"
#include "Support/EmulatedController.h"
#include "Support/Umockdev/UmockdevControllerTransport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kvxtest
{
namespace
{

class EndToEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        x = new XvfbServer();
        testbed = new HidrawTestbed();
    }

    static void TearDownTestSuite()
    {
        delete testbed;
        delete x;
    }

    void SetUp() override
    {
        if (x->display().empty())
            GTEST_SKIP() << "Xvfb, xdotool and ImageMagick's import are needed (apt-get install xvfb xdotool imagemagick)";

        // Enough data for a few hundred blocks; the second section ends mid-block.
        parts.sections = { uitest::testPattern(6200, 0x10), uitest::testPattern(12407, 0x20),
                           uitest::testPattern(3100, 0x30) };
        parts.versionDigits = "205";
        transport = std::make_unique<UmockdevControllerTransport>(controller, *testbed);
    }

    void startApplication(bool withUpdateFile)
    {
        app = std::make_unique<ApplicationSession>(*x, *testbed,
                                                   withUpdateFile ? std::optional(parts.build()) : std::nullopt);
        ASSERT_TRUE(app->waitForWindow()) << "no window titled \"Updater Program\" appeared";
    }

    // Waits for the screen and keeps its picture under the file name, if any.
    ::testing::AssertionResult reaches(const std::string& screenName, const std::string& fileName)
    {
        const auto picture = app->waitForScreen(screenName, fileName);

        if (picture.screenName() == screenName)
            return ::testing::AssertionSuccess();

        return ::testing::AssertionFailure() << "the window shows \"" << picture.screenName() << "\", expected \""
                                             << screenName << "\" (" << picture.describe() << ")";
    }

    // Reports the host sent, by command code.
    int countSent(uint8_t code) const
    {
        int sent = 0;

        for (const auto& entry : controller.transcript())
            sent += entry.fromHost && ! entry.bytes.empty() && entry.bytes[0] == code ? 1 : 0;

        return sent;
    }

    // False when the host has not sent a report of that code within a minute.
    bool waitUntilSent(uint8_t code) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);

        while (countSent(code) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));

        return countSent(code) > 0;
    }

    static XvfbServer* x;
    static HidrawTestbed* testbed;

    uitest::UpdateFileParts parts;
    EmulatedController controller;
    std::unique_ptr<UmockdevControllerTransport> transport;
    std::unique_ptr<ApplicationSession> app;
};

XvfbServer* EndToEnd::x = nullptr;
HidrawTestbed* EndToEnd::testbed = nullptr;

//==============================================================================
TEST_F(EndToEnd, UpdatesTheControllerThroughEveryScreen)
{
    // The controller takes a while to finish, reporting its progress meanwhile.
    controller.setFinishBusyCount(25);
    transport->plugIn();
    startApplication(true);

    ASSERT_TRUE(reaches("language", "language.png"));
    EXPECT_EQ("Updater Program", app->title());
    EXPECT_EQ("406x156", app->geometry());

    app->clickRightButton();
    ASSERT_TRUE(reaches("ready", "ready.png"));

    app->clickRightButton();
    auto picture = app->waitForScreen("updating", "updating.png");
    ASSERT_EQ("updating", picture.screenName()) << picture.describe();

    // The bar follows the controller's percentage for as long as the screen lasts.
    std::vector<int> fills;

    for (; picture.screenName() == "updating"; picture = app->takePicture())
    {
        if (fills.empty() || picture.progressFillWidth() != fills.back())
        {
            fills.push_back(picture.progressFillWidth());
            app->keepLatestAs("updating-later.png");
        }
    }

    // It rises with the data and again while the controller finishes, which
    // reports its own percentage from the start.
    EXPECT_GE(fills.size(), 3u) << "the progress bar hardly moved: " << ::testing::PrintToString(fills);
    ASSERT_TRUE(reaches("complete", "complete.png"));

    for (int section = 1; section <= 3; ++section)
    {
        EXPECT_EQ(parts.sections[(size_t) section - 1], controller.sectionData(section)) << "section " << section;
        EXPECT_TRUE(controller.sectionIntact(section)) << "section " << section;
    }

    EXPECT_EQ(std::vector<std::string>(), controller.protocolErrors());

    app->clickRightButton();
    EXPECT_EQ(0, app->waitForExit());
}

TEST_F(EndToEnd, ChosenLanguageWordsEveryScreenAndTheTitle)
{
    transport->plugIn();
    startApplication(true);
    ASSERT_TRUE(reaches("language", ""));

    ASSERT_TRUE(app->chooseLanguage(11));
    const std::string japaneseTitle = "\xE3\x82\xA2\xE3\x83\x83\xE3\x83\x97\xE3\x83\x87\xE3\x83\xBC"
                                      "\xE3\x83\x88\xE3\x83\x97\xE3\x83\xAD\xE3\x82\xB0\xE3\x83\xA9"
                                      "\xE3\x83\xA0"; // アップデートプログラム
    ASSERT_TRUE(app->waitForTitle(japaneseTitle)) << app->title();
    ASSERT_TRUE(reaches("language", "ja-language.png"));

    app->clickRightButton();
    ASSERT_TRUE(reaches("ready", "ja-ready.png"));

    app->clickRightButton();
    ASSERT_TRUE(reaches("updating", "ja-updating.png"));
    ASSERT_TRUE(reaches("complete", "ja-complete.png"));

    app->clickRightButton();
    EXPECT_EQ(0, app->waitForExit());
}

TEST_F(EndToEnd, WithoutAnUpdateFileLeadsToTheFaultyFileScreen)
{
    transport->plugIn();
    startApplication(false);
    ASSERT_TRUE(reaches("language", ""));

    app->clickRightButton();
    ASSERT_TRUE(reaches("faulty update file", "faulty-update-file.png"));
    EXPECT_TRUE(controller.transcript().empty());

    app->clickRightButton();
    EXPECT_EQ(0, app->waitForExit());
}

TEST_F(EndToEnd, WithoutTheControllerWaitsForItToBePluggedIn)
{
    startApplication(true);
    ASSERT_TRUE(reaches("language", ""));

    app->clickRightButton();
    ASSERT_TRUE(reaches("not recognised", "not-recognised.png"));

    transport->plugIn();
    ASSERT_TRUE(reaches("ready", "ready-after-plug-in.png"));

    // Close, in the left slot beside Start.
    app->clickLeftButton();
    EXPECT_EQ(0, app->waitForExit());
    EXPECT_TRUE(controller.transcript().empty());
}

TEST_F(EndToEnd, ControllerPulledOutMidUpdateEndsInError)
{
    controller.failAt(ControllerCode::data, 150, ControllerFault::removal());
    transport->plugIn();
    startApplication(true);
    ASSERT_TRUE(reaches("language", ""));

    app->clickRightButton();
    ASSERT_TRUE(reaches("ready", ""));

    app->clickRightButton();
    // The finish cannot reach a controller that is gone: its wait runs out first.
    ASSERT_TRUE(reaches("error", "error.png"));
    EXPECT_EQ(150, countSent(ControllerCode::data));
    EXPECT_EQ(0, countSent(ControllerCode::finish));

    app->clickRightButton();
    EXPECT_EQ(0, app->waitForExit());
}

// Each quit request ends the program in order, the hang-up of the terminal that
// started it as well as SIGTERM.
class EndToEndQuit : public EndToEnd, public ::testing::WithParamInterface<int>
{
};

TEST_P(EndToEndQuit, WhileTheUpdateWaitsEndsWithinTheFinishWait)
{
    // Unanswered, the first data block holds the update for its 180 s allowance.
    controller.failAt(ControllerCode::data, 1, ControllerFault::noReply());
    transport->plugIn();
    startApplication(true);
    ASSERT_TRUE(reaches("language", ""));
    app->clickRightButton();
    ASSERT_TRUE(reaches("ready", ""));
    app->clickRightButton();
    ASSERT_TRUE(waitUntilSent(ControllerCode::data));

    app->requestQuit(GetParam());
    app->startAgain();

    // Woken at once, the update thread still sends the finish and waits out its
    // 10 s, for no reply comes through a stopped message loop; the program ends
    // well within the exit's one-minute bound.
    EXPECT_EQ(0, app->waitForExit()) << "the quit did not wake the update thread";
    EXPECT_EQ(1, countSent(ControllerCode::finish));

    // The start made during the quit was not taken by the quitting copy: it
    // waited for that copy to end, and runs.
    EXPECT_TRUE(app->waitForWindow()) << "no window after a start during the quit";
}

INSTANTIATE_TEST_SUITE_P(Signals, EndToEndQuit, ::testing::Values(SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info)
                         { return std::string(info.param == SIGHUP ? "SIGHUP" : "SIGTERM"); });

} // namespace
} // namespace kvxtest
