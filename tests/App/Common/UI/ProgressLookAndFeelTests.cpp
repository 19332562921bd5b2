#include "UiTestSupport.h"

#include "CustomLookAndFeel.h"

#include <limits>

using namespace ui_test;

namespace
{
    const juce::Colour barBackground { 0xff080808 };

    class ProgressLookTest  : public ::testing::Test
    {
    protected:
        ProgressLookTest()
        {
            bar.setLookAndFeel (&look);
            bar.setColour (juce::ProgressBar::backgroundColourId, barBackground);
        }

        ~ProgressLookTest() override
        {
            bar.setLookAndFeel (nullptr);
        }

        std::unique_ptr<Rendering> draw (int width, int height, double progress, const juce::String& text)
        {
            return render (width, height, [&] (juce::Graphics& g)
                           { look.drawProgressBar (g, bar, width, height, progress, text); });
        }

        ProgressLookAndFeel look;
        double value = 0.0;
        juce::ProgressBar bar { value };
    };
}

//==============================================================================
// The worked example: background, gradient fill and white percentage.

TEST_F (ProgressLookTest, HalfwayBarFillsHalfTheInnerWidthWithTheGreyGradient)
{
    const auto rendering = draw (360, 20, 0.5, "50%");
    const auto& fills = rendering->renderer.fills;
    ASSERT_GE (fills.size(), 2u);

    EXPECT_TRUE (rectanglesNear (fills[0].bounds(), { 0.0f, 0.0f, 360.0f, 20.0f }));
    EXPECT_EQ (fills[0].fill.colour, barBackground);

    EXPECT_TRUE (rectanglesNear (fills[1].bounds(), { 2.0f, 2.0f, 178.0f, 16.0f }));
    ASSERT_TRUE (fills[1].fill.isGradient());
    const auto& gradient = *fills[1].fill.gradient;
    EXPECT_FALSE (gradient.isRadial);
    EXPECT_EQ (gradient.point1, juce::Point<float> (2.0f, 2.0f));
    EXPECT_EQ (gradient.point2, juce::Point<float> (2.0f, 16.0f));
    EXPECT_EQ (describeStops (gradient), "0.00:FFA7A7A7 0.50:FF646464 1.00:FF6C6C6C");

    ASSERT_FALSE (rendering->renderer.glyphs.empty());
    for (const auto& glyph : rendering->renderer.glyphs)
    {
        EXPECT_FLOAT_EQ (glyph.font.getHeight(), 16.0f);
        EXPECT_EQ (glyph.font.getStyleFlags(), juce::Font::plain);
        EXPECT_EQ (glyph.fill.colour, juce::Colours::white);
    }
}

TEST_F (ProgressLookTest, PixelsShowTheFillOverTheBackgroundAndNoText)
{
    const auto rendering = draw (360, 20, 0.5, {});
    const auto& image = rendering->image;
    EXPECT_TRUE (rendering->renderer.glyphs.empty());

    EXPECT_TRUE (coloursNear (image.getPixelAt (100, 9), juce::Colour (0xff646464), 4));
    EXPECT_TRUE (coloursNear (image.getPixelAt (100, 17), juce::Colour (0xff6c6c6c), 1)) << "below the gradient's end";
    EXPECT_TRUE (coloursNear (image.getPixelAt (179, 10), juce::Colour (0xff656565), 4)) << "last filled column";
    EXPECT_EQ (image.getPixelAt (180, 10), barBackground);
    EXPECT_EQ (image.getPixelAt (1, 10), barBackground);
    EXPECT_EQ (image.getPixelAt (100, 18), barBackground);
}

//==============================================================================
// Values outside 0 to 1, and bars too narrow for a fill, never draw outside the bar.

struct FillCase
{
    double progress;
    int width;
    float expectedFillWidth;
};

class ProgressFillWidth  : public ProgressLookTest, public ::testing::WithParamInterface<FillCase> {};

TEST_P (ProgressFillWidth, StaysWithinTheInnerWidth)
{
    const auto fillCase = GetParam();
    const auto rendering = draw (fillCase.width, 20, fillCase.progress, {});
    ASSERT_GE (rendering->renderer.fills.size(), 2u);

    EXPECT_FLOAT_EQ (rendering->renderer.fills[1].bounds().getWidth(), fillCase.expectedFillWidth)
        << "progress " << fillCase.progress << ", width " << fillCase.width;
}

INSTANTIATE_TEST_SUITE_P (Clamped, ProgressFillWidth,
                          ::testing::Values (FillCase { 0.0, 360, 0.0f },
                                             FillCase { -0.5, 360, 0.0f },
                                             FillCase { 1.0, 360, 356.0f },
                                             FillCase { 1.5, 360, 356.0f },
                                             FillCase { 0.333, 100, 31.968f },
                                             FillCase { std::numeric_limits<double>::quiet_NaN(), 360, 0.0f },
                                             FillCase { 0.5, 3, 0.0f }));
