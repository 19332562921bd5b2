// The screens at the window's size in each of the twelve languages: where their
// texts start, which widgets show with which labels and where, the warning
// image, the texts' colour and weight, and the window title.
#include "ScreensTestSupport.h"

#include "Loader.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <vector>

namespace uitest
{
namespace
{

const char* const model = "KVX-TN";

const juce::Rectangle<int> widgetPlace(20, 76, 366, 20);
const juce::Rectangle<int> rightSlot(286, 116, 100, 20);
const juce::Rectangle<int> leftSlot(176, 116, 100, 20);

struct ShownButton
{
    int label;
    juce::Rectangle<int> slot;
};

struct Widgets
{
    bool menu;
    bool progressBar;
    std::optional<ShownButton> ok;
    std::optional<ShownButton> cancel;
};

Widgets widgetsOf(Screen screen)
{
    switch (screen)
    {
        case Screen::language: return { true, false, ShownButton { 4, rightSlot }, ShownButton { 6, leftSlot } };
        case Screen::faultyFile: return { false, false, std::nullopt, ShownButton { 4, rightSlot } };
        case Screen::notFound: return { false, false, std::nullopt, ShownButton { 7, rightSlot } };
        case Screen::ready: return { false, false, ShownButton { 5, rightSlot }, ShownButton { 7, leftSlot } };
        case Screen::updating: return { false, true, std::nullopt, std::nullopt };
        case Screen::complete:
        case Screen::error: return { false, false, std::nullopt, ShownButton { 4, rightSlot } };
    }

    return {};
}

bool showsWarning(Screen screen)
{
    return screen == Screen::faultyFile || screen == Screen::notFound || screen == Screen::error;
}

const auto everyScreen = ::testing::Values(Screen::language, Screen::faultyFile, Screen::notFound, Screen::ready,
                                           Screen::updating, Screen::complete, Screen::error);

std::string screenName(const ::testing::TestParamInfo<Screen>& info)
{
    return describe(info.param);
}

struct Block
{
    juce::String text;
    float x;
    float y;
};

constexpr int russian = 6;
constexpr int japanese = 11;

//==============================================================================
class ScreenInEachLanguage : public ScreenTest, public ::testing::WithParamInterface<std::tuple<Screen, int>>
{
protected:
    void SetUp() override { show(screen(), language()); }

    Screen screen() const { return std::get<0>(GetParam()); }
    int language() const { return std::get<1>(GetParam()); }

    // A heading's body begins under an empty line below the heading's last line.
    float bodyBelow(const juce::String& heading) const
    {
        return 20.0f + 13.0f * (float) (countLines(0, heading.length()) + 1);
    }

    // The blocks of the screen's own texts; the instructions are tested apart.
    std::vector<Block> screenBlocks() const
    {
        switch (screen())
        {
            case Screen::language:
                return { { text(8), 20, 20 }, { text(9), 40, bodyBelow(text(8)) } };
            case Screen::faultyFile:
                return { { text(10), 105, 20 } };
            case Screen::notFound:
                return { { printed(text(20), model), 105, 20 } };
            case Screen::ready:
            {
                const float versionsY = language() == russian ? 91.0f : language() == japanese ? 66.0f : 76.0f;
                return { { printed(text(12), model), 20, 20 },
                         { printed(text(13), 1, 23), 40, versionsY },
                         { printed(text(14), 1, 23), 40, versionsY + 13 } };
            }
            case Screen::updating:
            {
                const auto heading = printed(text(15), model);
                return { { heading, 20, 20 }, { text(16), 40, bodyBelow(heading) } };
            }
            case Screen::complete:
                return { { printed(text(17), model), 20, 20 } };
            case Screen::error:
                return { { text(18), 105, 20 } };
        }

        return {};
    }

    void expectButton(VozadButton* button, const std::optional<ShownButton>& expected, const char* which) const
    {
        ASSERT_EQ(expected.has_value(), button->isVisible()) << which;

        if (! expected)
            return;

        EXPECT_EQ(text(expected->label), button->getButtonText()) << which;
        EXPECT_EQ(expected->slot, button->getBounds()) << which;
    }
};

TEST_P(ScreenInEachLanguage, TextsStartWhereTheirBoxesDo)
{
    int from = 0;

    for (const auto& block : screenBlocks())
        EXPECT_TRUE(blockStartsAt(block.text, block.x, block.y, from));
}

TEST_P(ScreenInEachLanguage, WidgetsShowWithTheScreensLabelsAndPlaces)
{
    const auto expected = widgetsOf(screen());

    EXPECT_EQ(expected.menu, component->getLanguageMenu()->isVisible());
    EXPECT_EQ(expected.progressBar, component->getProgressBar()->isVisible());
    EXPECT_EQ(widgetPlace, component->getLanguageMenu()->getBounds());
    EXPECT_EQ(widgetPlace, component->getProgressBar()->getBounds());
    expectButton(component->getOkButton(), expected.ok, "ok");
    expectButton(component->getCancelButton(), expected.cancel, "cancel");

    if (expected.menu)
    {
        EXPECT_EQ(language() + 1, component->getLanguageMenu()->getSelectedId());
    }
}

TEST_P(ScreenInEachLanguage, TypefaceIsTheLanguagesAlsoAsFallback)
{
    const auto& typeface = TxtLoader::getInstance()->getFont((juce::uint32) language());

    EXPECT_EQ(typeface, juce::Font::getFallbackFontName());
}

std::string nameOf(const ::testing::TestParamInfo<std::tuple<Screen, int>>& info)
{
    return std::string(describe(std::get<0>(info.param))) + "_"
         + plangList[std::get<1>(info.param)].code.replaceCharacter('-', '_').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Screens, ScreenInEachLanguage,
                         ::testing::Combine(everyScreen, ::testing::Range(0, (int) numLanguages)),
                         nameOf);

//==============================================================================
// The body follows however many lines the heading wraps into.
TEST_F(ScreenTest, BodyFollowsAOneLineHeadingAt46)
{
    show(Screen::updating, 0);

    int from = 0;
    EXPECT_TRUE(blockStartsAt(text(16), 40, 46, from));
}

TEST_F(ScreenTest, BodyFollowsATwoLineHeadingAt59)
{
    show(Screen::updating, 0);
    component->setSize(200, screenHeight);
    const auto heading = printed(text(15), model);
    ASSERT_EQ(2, countLines(0, heading.length())) << glyphText();

    int from = 0;
    EXPECT_TRUE(blockStartsAt(text(16), 40, 59, from));
}

//==============================================================================
// The warning icon, stretched into (20, 15, 64, 64) on the screens that report a
// problem, and nowhere on the others.
class WarningImage : public ScreenTest, public ::testing::WithParamInterface<Screen>
{
protected:
    static bool isYellow(juce::Colour c) { return c.getRed() > 200 && c.getGreen() > 150 && c.getBlue() < 100; }

    static juce::Rectangle<int> yellowArea(const juce::Image& image)
    {
        juce::Rectangle<int> area;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (isYellow(image.getPixelAt(x, y)))
                    area = area.isEmpty() ? juce::Rectangle<int>(x, y, 1, 1)
                                          : area.getUnion(juce::Rectangle<int>(x, y, 1, 1));

        return area;
    }
};

TEST_P(WarningImage, ShowsStretchedOnlyWhereAProblemIsReported)
{
    show(GetParam(), 0);
    const auto painted = ui_test::render(screenWidth, screenHeight, [this](juce::Graphics& g) { component->paint(g); });
    const auto drawn = yellowArea(painted->image);

    if (! showsWarning(GetParam()))
    {
        EXPECT_TRUE(drawn.isEmpty()) << drawn.toString();
        return;
    }

    const auto* icon = ImageLoader::getInstance()->getImage(0);
    ASSERT_NE(nullptr, icon);
    const auto own = yellowArea(*icon);
    const auto scale = juce::Point<float>(64.0f / (float) icon->getWidth(), 64.0f / (float) icon->getHeight());

    EXPECT_TRUE(juce::Rectangle<int>(20, 15, 64, 64).contains(drawn)) << drawn.toString();
    // Resampling blurs the edges by a pixel or two; unstretched it would be 6 narrower.
    EXPECT_NEAR((float) own.getWidth() * scale.x, (float) drawn.getWidth(), 3.0f);
    EXPECT_NEAR((float) own.getHeight() * scale.y, (float) drawn.getHeight(), 3.0f);
    EXPECT_NEAR(20.0f + (float) own.getX() * scale.x, (float) drawn.getX(), 3.0f);
    EXPECT_NEAR(15.0f + (float) own.getY() * scale.y, (float) drawn.getY(), 3.0f);
}

INSTANTIATE_TEST_SUITE_P(Screens, WarningImage, everyScreen, screenName);

//==============================================================================
// The texts in English, whose typeface has a bold face: black, and bold where
// the screen asks for it, in its heading or the not-recognised line alone.
class TextStyle : public ScreenTest, public ::testing::WithParamInterface<Screen>
{
protected:
    static juce::String boldText(Screen screen)
    {
        switch (screen)
        {
            case Screen::language:   return text(8);
            case Screen::notFound:   return printed(text(20), model);
            case Screen::ready:      return printed(text(12), model);
            case Screen::updating:   return printed(text(15), model);
            case Screen::faultyFile:
            case Screen::complete:
            case Screen::error:      return {};
        }

        return {};
    }

    // The characters drawn in a font that the screen asked to be bold. The
    // layout's blanks are not drawn: the other glyphs are, in layout order.
    juce::String boldCharacters(const ui_test::RecordingRenderer& drawn) const
    {
        juce::String characters;
        size_t next = 0;

        for (const auto& glyph : component->getGlyphs())
            if (! glyph.isWhitespace() && drawn.glyphs.at(next++).font.isBold())
                characters += juce::String::charToString(glyph.getCharacter());

        return characters;
    }
};

TEST_P(TextStyle, IsBlackAndBoldOnlyInTheHeadingOrTheNotRecognisedLine)
{
    show(GetParam(), 0);
    const auto painted = ui_test::render(screenWidth, screenHeight, [this](juce::Graphics& g) { component->paint(g); });
    ASSERT_FALSE(painted->renderer.glyphs.empty());

    for (const auto& glyph : painted->renderer.glyphs)
        ASSERT_EQ(juce::Colours::black, glyph.fill.colour);

    EXPECT_EQ(withoutBlanks(boldText(GetParam())), boldCharacters(painted->renderer));
}

INSTANTIATE_TEST_SUITE_P(Screens, TextStyle, everyScreen, screenName);

//==============================================================================
// A version v reads as v / 100, a point and v % 100 in two digits.
struct VersionCase
{
    long releaseNumber;          // the controller's, in binary-coded decimal
    const char* fileDigits;      // the update file's three bytes, each less '0'
    const char* shown;
};

class Versions : public ScreenTest, public ::testing::WithParamInterface<VersionCase>
{
};

TEST_P(Versions, ReadAsHundredsAndTwoDigits)
{
    kvxtest::ControllerIdentity identity;
    identity.releaseNumber = GetParam().releaseNumber;
    kvxtest::VirtualControllerTransport plugged(controller, identity);
    plugged.plugIn();
    parts.versionDigits = GetParam().fileDigits;
    placeUpdateFile();
    createComponent();
    chooseLanguage(0);
    pressOk();
    component->setSize(screenWidth, screenHeight);

    const auto current = juce::String("Current Version: Ver. ") + GetParam().shown;
    const auto update = juce::String("Update Version: Ver. ") + GetParam().shown;
    EXPECT_TRUE(glyphText().contains(current + "\n" + update)) << glyphText();

    int from = 0;
    EXPECT_TRUE(blockStartsAt(current, 40, 76, from));
    EXPECT_TRUE(blockStartsAt(update, 40, 89, from));

    component.reset();
    plugged.unplug();
}

// ':' is '0' + 10, so the digits ":00" make version 1000.
INSTANTIATE_TEST_SUITE_P(Screens, Versions,
                         ::testing::Values(VersionCase { 0x0123, "123", "1.23" }, VersionCase { 0x0205, "205", "2.05" },
                                           VersionCase { 0x0005, "005", "0.05" }, VersionCase { 0x1000, ":00", "10.00" }));

TEST_F(ScreenTest, ReadyScreenShowsTheControllersAndTheFilesVersions)
{
    parts.versionDigits = "205";
    show(Screen::ready, 0);

    EXPECT_TRUE(glyphText().contains("Current Version: Ver. 1.23\nUpdate Version: Ver. 2.05")) << glyphText();
}

//==============================================================================
TEST_F(ScreenTest, WindowIsRenamedOnceTheComponentSitsInIt)
{
    placeUpdateFile();
    createComponent();
    juce::Component window("KVXUpdateProgram");
    window.addChildComponent(component.get());

    // Constructed without a parent: nothing renamed the window yet.
    EXPECT_EQ(juce::String("KVXUpdateProgram"), window.getName());

    component->setSize(screenWidth, screenHeight);
    EXPECT_EQ(text(3), window.getName());

    for (int language : { 11, 6, 0 })
    {
        chooseLanguage(language);
        EXPECT_EQ(text(3), window.getName()) << "language " << language;
    }

    window.removeChildComponent(component.get());
}

} // namespace
} // namespace uitest
