#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

namespace juce
{
    // Let failed assertions print JUCE values readably.
    inline void PrintTo (const Colour& c, std::ostream* os)         { *os << c.toDisplayString (true); }
    inline void PrintTo (const Point<float>& p, std::ostream* os)   { *os << p.toString(); }
}

namespace ui_test
{

/** What one fill drew: its outline in image coordinates and the fill it used.
    Rectangles, paths, strokes and lines all arrive here. A colour fill carries
    its opacity in the colour's alpha.
*/
struct RecordedFill
{
    juce::Path path;
    juce::FillType fill;

    juce::Rectangle<float> bounds() const   { return path.getBounds(); }
};

struct RecordedGlyph
{
    juce::Font font;
    juce::FillType fill;
};

/** Renders into an image like JUCE's software renderer, and notes every fill and glyph. */
class RecordingRenderer  : public juce::LowLevelGraphicsSoftwareRenderer
{
public:
    explicit RecordingRenderer (const juce::Image& image)  : juce::LowLevelGraphicsSoftwareRenderer (image) {}

    std::vector<RecordedFill> fills;
    std::vector<RecordedGlyph> glyphs;

    void fillRect (const juce::Rectangle<int>& r, bool replace) override
    {
        recordRectangle (r.toFloat());
        LowLevelGraphicsSoftwareRenderer::fillRect (r, replace);
    }

    void fillRect (const juce::Rectangle<float>& r) override
    {
        recordRectangle (r);
        LowLevelGraphicsSoftwareRenderer::fillRect (r);
    }

    void fillPath (const juce::Path& path, const juce::AffineTransform& t) override
    {
        auto inImage = path;
        inImage.applyTransform (stack->transform.getTransformWith (t));
        fills.push_back ({ inImage, stack->fillType });
        LowLevelGraphicsSoftwareRenderer::fillPath (path, t);
    }

    void drawGlyph (int glyphNumber, const juce::AffineTransform& t) override
    {
        glyphs.push_back ({ getFont(), stack->fillType });
        LowLevelGraphicsSoftwareRenderer::drawGlyph (glyphNumber, t);
    }

private:
    void recordRectangle (juce::Rectangle<float> r)
    {
        juce::Path p;
        p.addRectangle (r);
        p.applyTransform (stack->transform.getTransform());
        fills.push_back ({ p, stack->fillType });
    }
};

struct Rendering
{
    Rendering (int width, int height)
        : image (juce::Image::ARGB, width, height, true), renderer (image) {}

    juce::Image image;
    RecordingRenderer renderer;
};

/** Paints through paintFunction into a fresh transparent image of the given size. */
template <typename PaintFunction>
std::unique_ptr<Rendering> render (int width, int height, PaintFunction&& paintFunction)
{
    auto rendering = std::make_unique<Rendering> (width, height);
    juce::Graphics g (rendering->renderer);
    paintFunction (g);
    return rendering;
}

inline ::testing::AssertionResult coloursNear (juce::Colour actual, juce::Colour expected, int tolerance)
{
    const auto near = [tolerance] (int a, int b) { return std::abs (a - b) <= tolerance; };

    if (near (actual.getAlpha(), expected.getAlpha()) && near (actual.getRed(), expected.getRed())
        && near (actual.getGreen(), expected.getGreen()) && near (actual.getBlue(), expected.getBlue()))
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "colour " << actual.toDisplayString (true) << ", expected "
                                         << expected.toDisplayString (true) << " within " << tolerance;
}

inline ::testing::AssertionResult rectanglesNear (juce::Rectangle<float> actual, juce::Rectangle<float> expected)
{
    constexpr float tolerance = 1.0e-3f;
    const auto near = [] (float a, float b) { return std::abs (a - b) <= tolerance; };

    if (near (actual.getX(), expected.getX()) && near (actual.getY(), expected.getY())
        && near (actual.getWidth(), expected.getWidth()) && near (actual.getHeight(), expected.getHeight()))
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "rectangle (" << actual.toString() << "), expected ("
                                         << expected.toString() << ")";
}

/** The stops of a gradient as "position:colour" pairs, for readable comparisons. */
inline juce::String describeStops (const juce::ColourGradient& gradient)
{
    juce::StringArray stops;

    for (int i = 0; i < gradient.getNumColours(); ++i)
        stops.add (juce::String (gradient.getColourPosition (i), 2) + ":"
                   + gradient.getColour (i).toDisplayString (true));

    return stops.joinIntoString (" ");
}

} // namespace ui_test
