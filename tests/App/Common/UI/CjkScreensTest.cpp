// Chinese, Japanese and Korean draw as large as the language table's typefaces
// would: at the text height of 13, a character is 13 pixels wide and nearly as
// tall, and step 1 of the ready screen wraps in its three-line box rather than
// being squeezed onto one, between characters but not within Latin words. The
// ready and error screens are kept as pictures in the build folder,
// tests/cjk_screens/<screen>_<language>.png.
#include "ScreensTestSupport.h"

#include "Loader.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

namespace uitest
{
namespace
{

constexpr int japanese = 11;
constexpr float textHeight = 13.0f;
// The tallest ideographs reach from the em's bottom nearly to its top.
constexpr float minimumInkOfTallest = 0.8f * textHeight;

bool isLatinLetter(juce::juce_wchar c)
{
    return c < 0x0250 && juce::CharacterFunctions::isLetterOrDigit(c);
}

// Ideographs and Hangul syllables are one em wide; Japanese kana are proportional.
bool isFullWidth(juce::juce_wchar c)
{
    return (c >= 0x4e00 && c <= 0x9fff) || (c >= 0xac00 && c <= 0xd7a3);
}

std::string nameOf(Screen screen, int language)
{
    return describe(screen) + ("_" + plangList[language].code.replaceCharacter('-', '_').toStdString());
}

class CjkScreen : public ScreenTest, public ::testing::WithParamInterface<std::tuple<Screen, int>>
{
protected:
    void SetUp() override { show(screen(), language()); }

    Screen screen() const { return std::get<0>(GetParam()); }
    int language() const { return std::get<1>(GetParam()); }
};

TEST_P(CjkScreen, CharactersFillTheTextHeightUnsqueezed)
{
    const auto painted = ui_test::render(screenWidth, screenHeight, [this](juce::Graphics& g) { component->paint(g); });
    const auto& drawn = painted->renderer.glyphs;
    const auto& glyphs = component->getGlyphs();
    // Japanese puts each half of step 1 into a box of one line.
    const bool stepOneHasRoom = screen() == Screen::ready && language() != japanese;
    size_t next = 0;
    float tallestInk = 0.0f;
    const juce::PositionedGlyph* previous = nullptr;

    for (const auto& glyph : glyphs)
    {
        if (glyph.isWhitespace())
            continue;

        ASSERT_LT(next, drawn.size()) << "fewer glyphs drawn than laid out";
        const auto horizontalScale = drawn[next++].font.getHorizontalScale();
        const auto character = juce::String::toHexString((int) glyph.getCharacter());

        if (previous != nullptr && isLatinLetter(previous->getCharacter()) && isLatinLetter(glyph.getCharacter()))
        {
            EXPECT_EQ(previous->getBaselineY(), glyph.getBaselineY()) << "a word broken before U+" << character;
        }

        previous = &glyph;

        if (stepOneHasRoom)
        {
            EXPECT_FLOAT_EQ(1.0f, horizontalScale) << "U+" << character << " squeezed";
        }

        if (isFullWidth(glyph.getCharacter()))
        {
            EXPECT_NEAR(textHeight, glyph.getBounds().getWidth() / horizontalScale, 0.1f * textHeight)
                << "em of U+" << character;
        }

        if (glyph.getCharacter() >= 0x3040) // kana, ideographs, Hangul
        {
            juce::Path ink;
            glyph.createPath(ink);
            tallestInk = juce::jmax(tallestInk, ink.getBounds().getHeight());
        }
    }

    EXPECT_GE(tallestInk, minimumInkOfTallest);

    if (screen() != Screen::ready && screen() != Screen::error)
        return;

    const auto picture = juce::File::getSpecialLocation(juce::File::currentExecutableFile)
                             .getSiblingFile("cjk_screens").getChildFile(nameOf(screen(), language()) + ".png");
    picture.getParentDirectory().createDirectory();
    picture.deleteFile();
    juce::FileOutputStream stream(picture);
    juce::PNGImageFormat().writeImageToStream(component->createComponentSnapshot(component->getLocalBounds()), stream);
}

// Whatever the width, a line never starts with a full stop or a comma.
TEST_F(ScreenTest, CjkPunctuationStaysOnTheLineItEnds)
{
    const auto punctuation = juce::String::fromUTF8("\xe3\x80\x82\xef\xbc\x8c");

    for (const int language : { 8, 9 })
    {
        show(Screen::error, language);

        for (int width = 300; width <= screenWidth; ++width)
        {
            component->setSize(width, screenHeight);
            const auto* glyphs = component->getGlyphs().begin();

            for (int i = 1; i < component->getGlyphs().getNumGlyphs(); ++i)
            {
                if (punctuation.containsChar(glyphs[i].getCharacter()))
                {
                    EXPECT_EQ(glyphs[i - 1].getBaselineY(), glyphs[i].getBaselineY())
                        << nameOf(Screen::error, language) << " at width " << width;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, CjkScreen,
                         ::testing::Combine(::testing::Values(Screen::language, Screen::faultyFile, Screen::notFound,
                                                              Screen::ready, Screen::updating, Screen::complete,
                                                              Screen::error),
                                            ::testing::Range(8, 12)),
                         [](const ::testing::TestParamInfo<std::tuple<Screen, int>>& info)
                         { return nameOf(std::get<0>(info.param), std::get<1>(info.param)); });

} // namespace
} // namespace uitest
