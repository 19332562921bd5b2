#include "UiTestSupport.h"

#include "VozadButton.h"

using namespace ui_test;

namespace
{
    const juce::Colour windowColour { 0xffeaeaea };

    class VozadButtonTest  : public ::testing::Test
    {
    protected:
        VozadButtonTest()
        {
            button.setBounds (0, 0, 100, 20);
            button.setVisible (true);
            button.setColour (juce::TextButton::buttonColourId, windowColour);
            button.setColour (juce::TextButton::buttonOnColourId, windowColour);
        }

        std::unique_ptr<Rendering> paint()
        {
            return render (button.getWidth(), button.getHeight(),
                           [this] (juce::Graphics& g) { button.paintEntireComponent (g, true); });
        }

        VozadButton button { "OK" };
    };

    /** Counts the repaints that reach a component which has no window. */
    struct RepaintCounter  : juce::CachedComponentImage
    {
        int count = 0;

        void paint (juce::Graphics&) override {}
        bool invalidateAll() override                            { ++count; return true; }
        bool invalidate (const juce::Rectangle<int>&) override   { ++count; return true; }
        void releaseResources() override {}
    };

    /** Whether a point lies inside, with curves flattened finely enough for sub-pixel probes. */
    bool inside (const juce::Path& p, float x, float y)
    {
        return p.contains (x, y, 0.01f);
    }

    bool imagesEqual (const juce::Image& a, const juce::Image& b)
    {
        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                    return false;

        return true;
    }
}

//==============================================================================
// The background's shape, gradient and outline, from the window's button colour.

TEST_F (VozadButtonTest, ReleasedButtonIsAPillInsetByHalfAPixelWithWindowToneGradient)
{
    const auto rendering = paint();
    const auto& fills = rendering->renderer.fills;
    ASSERT_GE (fills.size(), 2u);

    const auto& body = fills[0];
    EXPECT_TRUE (rectanglesNear (body.bounds(), { 0.5f, 0.5f, 99.0f, 19.0f }));
    EXPECT_TRUE (inside (body.path, 6.0f, 2.0f));
    EXPECT_FALSE (inside (body.path, 4.0f, 2.0f)) << "corner radius should be 9.5";

    ASSERT_TRUE (body.fill.isGradient());
    const auto& gradient = *body.fill.gradient;
    EXPECT_FALSE (gradient.isRadial);
    EXPECT_EQ (gradient.point1, juce::Point<float> (0.0f, 0.5f));
    EXPECT_EQ (gradient.point2, juce::Point<float> (0.0f, 19.5f));
    EXPECT_EQ (describeStops (gradient), "0.00:FFFFFFFF 0.50:FFC3C3C3 1.00:FFFFFFFF");

    EXPECT_EQ (fills[1].fill.colour, juce::Colour (0xff898989)) << "outline";

    const auto& image = rendering->image;
    EXPECT_TRUE (coloursNear (image.getPixelAt (50, 0), juce::Colour (0xff898989), 2));
    EXPECT_TRUE (coloursNear (image.getPixelAt (15, 10), juce::Colour (0xffc6c6c6), 6));
    EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0) << "outside the rounded corner";
}

TEST_F (VozadButtonTest, PressedButtonIsBlueWhateverItsColourButKeepsItsOutline)
{
    button.setState (juce::Button::buttonDown);
    const auto rendering = paint();
    const auto& fills = rendering->renderer.fills;
    ASSERT_GE (fills.size(), 2u);
    ASSERT_TRUE (fills[0].fill.isGradient());

    EXPECT_EQ (describeStops (*fills[0].fill.gradient), "0.00:FFB9C8F0 0.50:FF529CE7 1.00:FF8CDEFD");
    EXPECT_EQ (fills[1].fill.colour, juce::Colour (0xff898989));
    EXPECT_TRUE (coloursNear (rendering->image.getPixelAt (15, 10), juce::Colour (0xff559fe8), 6));
}

TEST_F (VozadButtonTest, ToggledButtonTakesTheButtonOnColour)
{
    button.setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xff8080ff));
    button.setToggleState (true, juce::dontSendNotification);
    const auto rendering = paint();
    const auto& fills = rendering->renderer.fills;
    ASSERT_GE (fills.size(), 2u);
    ASSERT_TRUE (fills[0].fill.isGradient());

    EXPECT_EQ (fills[0].fill.gradient->getColour (1), juce::Colour (0xff6a6ad4));
    EXPECT_EQ (fills[1].fill.colour, juce::Colour (0xff4b4b95)) << "255 / 1.7 in single precision truncates to 149";
}

TEST_F (VozadButtonTest, HoverAndDisabledLookLikeNormal)
{
    const auto normal = paint();
    button.setState (juce::Button::buttonOver);
    const auto hovered = paint();
    button.setState (juce::Button::buttonNormal);
    button.setEnabled (false);
    const auto disabled = paint();

    EXPECT_TRUE (imagesEqual (normal->image, hovered->image));
    EXPECT_TRUE (imagesEqual (normal->image, disabled->image));
}

TEST_F (VozadButtonTest, ConnectedEdgesReachNearlyToTheBorderWithSquareCorners)
{
    button.setConnectedEdges (juce::Button::ConnectedOnLeft);
    const auto rendering = paint();
    ASSERT_FALSE (rendering->renderer.fills.empty());
    const auto& body = rendering->renderer.fills[0].path;

    EXPECT_TRUE (rectanglesNear (body.getBounds(), { 0.1f, 0.5f, 99.4f, 19.0f }));
    EXPECT_TRUE (inside (body, 0.3f, 0.7f)) << "top-left corner should be square";
    EXPECT_TRUE (inside (body, 0.3f, 19.3f)) << "bottom-left corner should be square";
    EXPECT_FALSE (inside (body, 99.3f, 0.7f)) << "top-right corner should stay round";
}

TEST_F (VozadButtonTest, NoBackgroundOnceTheOutlineFillsTheInsetWidth)
{
    button.setBounds (0, 0, 2, 20);
    EXPECT_TRUE (paint()->renderer.fills.empty());

    button.setBounds (0, 0, 3, 20);
    EXPECT_EQ (paint()->renderer.fills.size(), 2u) << "fill and outline";
}

//==============================================================================
// The label: its font, typeface and style, and a colour that no state changes.

TEST_F (VozadButtonTest, LabelUsesTheButtonsTypefaceAndStyleCappedAt13High)
{
    button.setFont ("DejaVu Serif");
    button.setStyle (juce::Font::bold);
    button.setState (juce::Button::buttonDown);
    auto rendering = paint();
    ASSERT_FALSE (rendering->renderer.glyphs.empty());

    for (const auto& glyph : rendering->renderer.glyphs)
    {
        EXPECT_EQ (glyph.font.getTypefaceName(), "DejaVu Serif");
        EXPECT_EQ (glyph.font.getStyleFlags(), juce::Font::bold);
        EXPECT_FLOAT_EQ (glyph.font.getHeight(), 13.0f);
        EXPECT_EQ (glyph.fill.colour, juce::Colour (0xff101010));
    }

    button.setBounds (0, 0, 100, 10);
    rendering = paint();
    ASSERT_FALSE (rendering->renderer.glyphs.empty());
    EXPECT_FLOAT_EQ (rendering->renderer.glyphs[0].font.getHeight(), 8.0f);
}

TEST_F (VozadButtonTest, SetButtonTextRepaintsAlsoWhenTheLabelIsUnchanged)
{
    auto* counter = new RepaintCounter;
    button.setCachedComponentImage (counter);
    const auto repaintsBefore = counter->count;

    button.setButtonText ("OK");
    EXPECT_EQ (counter->count, repaintsBefore + 1);
    EXPECT_EQ (button.getButtonText(), "OK");

    button.setButtonText ("Start");
    EXPECT_EQ (counter->count, repaintsBefore + 2);
    EXPECT_EQ (button.getButtonText(), "Start");
}

//==============================================================================
// Each corner flag curves its own corner only.

struct CornerCase
{
    bool topLeft, topRight, bottomLeft, bottomRight;
};

class RoundedPathCorners  : public ::testing::TestWithParam<CornerCase> {};

TEST_P (RoundedPathCorners, OnlyTheFlaggedCornerIsCut)
{
    const auto corners = GetParam();
    juce::Path p;
    createRoundedPath (p, 0.0f, 0.0f, 40.0f, 20.0f, 10.0f,
                       corners.topLeft, corners.topRight, corners.bottomLeft, corners.bottomRight);

    EXPECT_EQ (inside (p, 0.5f, 0.5f), ! corners.topLeft) << "top left";
    EXPECT_EQ (inside (p, 39.5f, 0.5f), ! corners.topRight) << "top right";
    EXPECT_EQ (inside (p, 0.5f, 19.5f), ! corners.bottomLeft) << "bottom left";
    EXPECT_EQ (inside (p, 39.5f, 19.5f), ! corners.bottomRight) << "bottom right";
}

INSTANTIATE_TEST_SUITE_P (EachCorner, RoundedPathCorners,
                          ::testing::Values (CornerCase { true, false, false, false },
                                             CornerCase { false, true, false, false },
                                             CornerCase { false, false, true, false },
                                             CornerCase { false, false, false, true }));
