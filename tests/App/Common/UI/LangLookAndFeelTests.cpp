#include "UiTestSupport.h"

#include "CustomLookAndFeel.h"
#include "Loader.h"

using namespace ui_test;

namespace
{
    constexpr int itemWidth = 200;
    const juce::String screenTypeface { "Screen Typeface" };

    /** Notes the fallback typeface in force when the item asks for its font. */
    class ProbingLangLook  : public LangLookAndFeel
    {
    public:
        juce::Font getPopupMenuFont() override
        {
            fallbacksSeen.add (juce::Font::getFallbackFontName());
            return LangLookAndFeel::getPopupMenuFont();
        }

        juce::StringArray fallbacksSeen;
    };

    struct Item
    {
        juce::String text;
        int height = 20;
        bool isSeparator = false;
        bool isActive = true;
        bool isHighlighted = false;
        bool isTicked = false;
        const juce::Colour* textColour = nullptr;
    };

    class LangLookTest  : public ::testing::Test
    {
    protected:
        LangLookTest()
            : previousFallback (juce::Font::getFallbackFontName()),
              texts (TxtLoader::getInstance())
        {
            juce::Font::setFallbackFontName (screenTypeface);
        }

        ~LangLookTest() override
        {
            TxtLoader::releaseInstance();
            juce::Font::setFallbackFontName (previousFallback);
        }

        std::unique_ptr<Rendering> draw (const Item& item)
        {
            return render (itemWidth, item.height, [&] (juce::Graphics& g)
            {
                look.drawPopupMenuItem (g, { 0, 0, itemWidth, item.height }, item.isSeparator, item.isActive,
                                        item.isHighlighted, item.isTicked, false, item.text, {}, nullptr,
                                        item.textColour);
            });
        }

        const juce::String previousFallback;
        TxtLoader* texts;
        ProbingLangLook look;
    };
}

//==============================================================================
// Each language's name is drawn with its own typeface as fallback, and the
// screen's fallback is back afterwards.

TEST_F (LangLookTest, OtherLanguagesNameUsesItsTypefaceAsFallbackForThatItemOnly)
{
    draw ({ texts->getLang (11) });

    ASSERT_EQ (look.fallbacksSeen.size(), 1);
    EXPECT_EQ (look.fallbacksSeen[0], texts->getFont (11));
    EXPECT_EQ (juce::Font::getFallbackFontName(), screenTypeface);
}

TEST_F (LangLookTest, NameMatchIgnoresCaseAndOtherTextKeepsTheFallback)
{
    draw ({ texts->getLang (0).toUpperCase() });
    draw ({ "Klingon" });

    ASSERT_EQ (look.fallbacksSeen.size(), 2);
    EXPECT_EQ (look.fallbacksSeen[0], texts->getFont (0));
    EXPECT_EQ (look.fallbacksSeen[1], screenTypeface);
}

TEST_F (LangLookTest, SeparatorIsTwoLinesAndLeavesTheFallbackAlone)
{
    Item separator;
    separator.isSeparator = true;
    const auto rendering = draw (separator);
    const auto& fills = rendering->renderer.fills;

    ASSERT_EQ (fills.size(), 2u);
    EXPECT_EQ (fills[0].fill.colour, juce::Colour (0x33000000));
    EXPECT_FLOAT_EQ (fills[0].bounds().getCentreY(), 10.0f);
    EXPECT_EQ (fills[1].fill.colour, juce::Colour (0x66ffffff));
    EXPECT_FLOAT_EQ (fills[1].bounds().getCentreY(), 11.0f);
    EXPECT_TRUE (rendering->renderer.glyphs.empty());
    EXPECT_TRUE (look.fallbacksSeen.isEmpty());
}

//==============================================================================
// Colours of highlighted, inactive and coloured items.

TEST_F (LangLookTest, HighlightedItemIsOpaqueDarkBlueWithWhiteTextWhateverTheItemColour)
{
    Item item { "English" };
    item.isHighlighted = true;
    const juce::Colour red (0xffff0000);
    item.textColour = &red;
    const auto rendering = draw (item);

    ASSERT_FALSE (rendering->renderer.fills.empty());
    EXPECT_TRUE (rectanglesNear (rendering->renderer.fills[0].bounds(), { 1.0f, 1.0f, 198.0f, 18.0f }));
    EXPECT_EQ (rendering->image.getPixelAt (3, 3), juce::Colour (0xff000040));

    ASSERT_FALSE (rendering->renderer.glyphs.empty());
    EXPECT_EQ (rendering->renderer.glyphs[0].fill.colour, juce::Colours::white);
}

TEST_F (LangLookTest, InactiveItemTextIsFadedButItsHighlightIsNot)
{
    Item item { "English" };
    item.isHighlighted = true;
    item.isActive = false;
    const auto rendering = draw (item);

    EXPECT_EQ (rendering->image.getPixelAt (3, 3), juce::Colour (0xff000040));
    ASSERT_FALSE (rendering->renderer.glyphs.empty());
    EXPECT_EQ (rendering->renderer.glyphs[0].fill.colour, juce::Colours::white.withAlpha (0.3f));
}

//==============================================================================
// Font height follows the item height, and the tick sits in the left border.

class LangItemFont  : public LangLookTest, public ::testing::WithParamInterface<std::pair<int, float>> {};

TEST_P (LangItemFont, IsCappedAtItemHeightOver1Point3)
{
    const auto [itemHeight, expectedFontHeight] = GetParam();
    Item item { "English" };
    item.height = itemHeight;
    const auto rendering = draw (item);

    ASSERT_FALSE (rendering->renderer.glyphs.empty());
    EXPECT_NEAR (rendering->renderer.glyphs[0].font.getHeight(), expectedFontHeight, 0.01f);
}

INSTANTIATE_TEST_SUITE_P (ItemHeights, LangItemFont,
                          ::testing::Values (std::make_pair (20, 15.38f), std::make_pair (22, 16.92f),
                                             std::make_pair (23, 17.0f), std::make_pair (30, 17.0f)));

TEST_F (LangLookTest, TickIsFittedIntoTheLeftBorderAtTheFontsAscent)
{
    Item item { "English" };
    item.isTicked = true;
    const auto rendering = draw (item);

    const auto ascent = juce::Font (20.0f / 1.3f).getAscent();
    const juce::Rectangle<float> box (2.0f, 10.0f - ascent / 2.0f, 21.0f, ascent);
    ASSERT_FALSE (rendering->renderer.fills.empty());
    const auto tick = rendering->renderer.fills[0].bounds();

    EXPECT_TRUE (box.expanded (0.01f).contains (tick)) << tick.toString() << " in " << box.toString();
    EXPECT_NEAR (tick.getCentreX(), box.getCentreX(), 0.01f);
    EXPECT_NEAR (tick.getCentreY(), box.getCentreY(), 0.01f);
}
