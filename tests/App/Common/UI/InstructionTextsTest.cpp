// The instructions on how to start the controller in its update mode: each
// language's order of the button and model names, where each step starts in each
// language branch, and the ready screen's step 1 without its number.
#include "ScreensTestSupport.h"

#include "Loader.h"

#include <gtest/gtest.h>

namespace uitest
{
namespace
{

const char* const model = "KVX-TN";

constexpr int russian = 6;
constexpr int japanese = 11;

bool namesModelFirst(int language)
{
    return language >= 8 && language <= 10;
}

class InstructionsInEachLanguage : public ScreenTest, public ::testing::WithParamInterface<int>
{
protected:
    int language() const { return GetParam(); }

    // Step 1 with its arguments in the order each language's template takes them.
    juce::String stepOne() const
    {
        if (language() == japanese)
            return printed(text(21), "SHIFT", "SYNC");

        if (namesModelFirst(language()))
            return printed(text(21), model, "SHIFT", "SYNC", model);

        return printed(text(21), "SHIFT", "SYNC", model, model);
    }

    juce::String stepOneEnd() const { return printed(text(22), model); }

    // Up to four lines of step 1 in most languages, three in Chinese and Korean,
    // two single lines in Japanese.
    float stepTwoY() const
    {
        return language() == japanese ? 65.0f : namesModelFirst(language()) ? 75.0f : 88.0f;
    }

    void expectStepsFrom(int from) const
    {
        EXPECT_TRUE(blockStartsAt(stepOne(), 105, 36, from));

        if (language() == japanese)
        {
            EXPECT_TRUE(blockStartsAt(stepOneEnd(), 105, 49, from));
        }

        EXPECT_TRUE(blockStartsAt(text(23), 105, stepTwoY(), from));
    }

    int indexOf(const juce::String& laidOut) const { return glyphText().indexOf(laidOut.substring(0, 4)); }
};

TEST_P(InstructionsInEachLanguage, NotRecognisedScreenStartsEachStepAtItsBranchsHeight)
{
    show(Screen::notFound, language());

    int from = 0;
    EXPECT_TRUE(blockStartsAt(printed(text(20), model), 105, 20, from));
    expectStepsFrom(from);
}

TEST_P(InstructionsInEachLanguage, ErrorScreenPutsTheStepsUnderItsOwnMessage)
{
    show(Screen::error, language());

    int from = 0;
    EXPECT_TRUE(blockStartsAt(text(18), 105, 20, from));
    expectStepsFrom(from);
    EXPECT_FALSE(glyphText().contains(printed(text(20), model)));
}

TEST_P(InstructionsInEachLanguage, StepOneShowsWholeWithinItsBox)
{
    show(Screen::notFound, language());
    const int first = indexOf(stepOne());
    const int end = indexOf(text(23));
    ASSERT_LT(0, first);
    ASSERT_LT(first, end);

    const auto shown = glyphText().substring(first, end);
    EXPECT_EQ(withoutBlanks(stepOne() + (language() == japanese ? stepOneEnd() : juce::String())), withoutBlanks(shown));

    for (int i = first; i < end; ++i)
    {
        const auto bounds = component->getGlyphs().begin()[i].getBounds();
        EXPECT_TRUE(bounds.getX() >= 105.0f - 0.01f && bounds.getRight() <= 386.01f && bounds.getY() >= 36.0f - 0.01f
                    && bounds.getBottom() <= stepTwoY() + 0.01f)
            << "glyph " << i << " of \"" << shown << "\" at " << bounds.toString();
    }
}

TEST_P(InstructionsInEachLanguage, ReadyScreenShowsStepOneWithoutItsNumber)
{
    show(Screen::ready, language());
    const float stepY = language() == russian ? 51.0f : 36.0f;
    ASSERT_TRUE(stepOne().startsWith("1. "));

    int from = 0;
    EXPECT_TRUE(blockStartsAt(printed(text(12), model), 20, 20, from));
    EXPECT_TRUE(blockStartsAt(stepOne().substring(3), 20, stepY, from));

    if (language() == japanese)
    {
        EXPECT_TRUE(blockStartsAt(stepOneEnd(), 20, stepY + 13, from));
    }

    EXPECT_FALSE(glyphText().contains("1. "));
}

INSTANTIATE_TEST_SUITE_P(Instructions, InstructionsInEachLanguage, ::testing::Range(0, (int) numLanguages),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return plangList[info.param].code.replaceCharacter('-', '_').toStdString();
                         });

//==============================================================================
// The names in their places, as the tables' translators wrote them.
TEST_F(ScreenTest, EnglishBracketsHoldShiftThenSync)
{
    show(Screen::notFound, 0);

    EXPECT_TRUE(withoutBlanks(glyphText()).contains(withoutBlanks(
        "1. While pressing the [SHIFT] button and the [SYNC] button on the left deck of your KVX-TN, connect it to "
        "your computer using a USB cable. The KVX-TN will start in update mode.")))
        << glyphText();
}

TEST_F(ScreenTest, EnglishReadyScreenBeginsStepOneWithWhile)
{
    show(Screen::ready, 0);

    int from = 0;
    EXPECT_TRUE(blockStartsAt("While pressing", 20, 36, from));
}

TEST_F(ScreenTest, SimplifiedChineseNamesTheModelBeforeTheButtons)
{
    show(Screen::notFound, 8);

    EXPECT_TRUE(withoutBlanks(glyphText()).contains(withoutBlanks(
        juce::String::fromUTF8("1. 按住KVX-TN左DECK上的[SHIFT]按钮和[SYNC]按钮时，使用USB电缆将其连接至计算机。 "
                               "KVX-TN将在更新模式下启动。"))))
        << glyphText();
}

TEST_F(ScreenTest, JapaneseSplitsStepOneOverTwoLines)
{
    show(Screen::notFound, 11);

    int from = 0;
    EXPECT_TRUE(blockStartsAt(juce::String::fromUTF8("1. 左DECKの[SHIFT]と[SYNC]を押しながらUSBケーブルを"), 105, 36, from));
    EXPECT_TRUE(blockStartsAt(juce::String::fromUTF8("接続し、KVX-TNをアップデートモードで起動してください。"), 105, 49, from));
    EXPECT_TRUE(glyphText().contains(juce::String::fromUTF8("[SHIFT]と[SYNC]を押しながらUSBケーブルを接続し、KVX-TNを")));
}

} // namespace
} // namespace uitest
