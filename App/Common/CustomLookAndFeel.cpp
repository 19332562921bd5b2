#include "CustomLookAndFeel.h"

#include "Loader.h"

namespace
{
    constexpr float minimumHorizontalScale = 0.7f;

    namespace ButtonColours
    {
        const juce::Colour pressedTop    { 0xffb9c8f0 };
        const juce::Colour pressedMiddle { 0xff529ce7 };
        const juce::Colour pressedBottom { 0xff8cdefd };
        const juce::Colour releasedEnds  { 0xffffffff };
        constexpr float middleDarkening  = 0.2f;
        constexpr float outlineDarkening = 0.7f;
    }

    namespace MenuColours
    {
        const juce::Colour separatorShadow    { 0x33000000 };
        const juce::Colour separatorHighlight { 0x66ffffff };
        const juce::Colour highlightFill      { 0xff000040 };
        constexpr float inactiveOpacity = 0.3f;
    }

    namespace ProgressColours
    {
        const juce::Colour fillTop    { 0xffa7a7a7 };
        const juce::Colour fillMiddle { 0xff646464 };
        const juce::Colour fillBottom { 0xff6c6c6c };
        const juce::Colour text       { 0xffffffff };
    }

    /** Swaps JUCE's process-wide fallback typeface for the time one item is drawn,
        so that text drawn afterwards (the combo box's own) sees the screen's again.
    */
    class ScopedFallbackTypeface
    {
    public:
        explicit ScopedFallbackTypeface (const juce::String& typefaceName)
            : previous (juce::Font::getFallbackFontName())
        {
            juce::Font::setFallbackFontName (typefaceName);
        }

        ~ScopedFallbackTypeface()
        {
            juce::Font::setFallbackFontName (previous);
        }

    private:
        const juce::String previous;

        JUCE_DECLARE_NON_COPYABLE (ScopedFallbackTypeface)
    };
}

//==============================================================================
void createRoundedPath (juce::Path& p, float x, float y, float w, float h, float cs,
                        bool curveTopLeft, bool curveTopRight,
                        bool curveBottomLeft, bool curveBottomRight)
{
    using juce::MathConstants;
    const auto r = x + w;
    const auto b = y + h;
    const auto d = 2.0f * cs;

    if (curveTopLeft)
    {
        p.startNewSubPath (x, y + cs);
        p.addArc (x, y, d, d, 1.5f * MathConstants<float>::pi, MathConstants<float>::twoPi);
    }
    else
    {
        p.startNewSubPath (x, y);
    }

    if (curveTopRight)
    {
        p.lineTo (r - cs, y);
        p.addArc (r - d, y, d, d, 0.0f, MathConstants<float>::halfPi);
    }
    else
    {
        p.lineTo (r, y);
    }

    if (curveBottomRight)
    {
        p.lineTo (r, b - cs);
        p.addArc (r - d, b - d, d, d, MathConstants<float>::halfPi, MathConstants<float>::pi);
    }
    else
    {
        p.lineTo (r, b);
    }

    if (curveBottomLeft)
    {
        p.lineTo (x + cs, b);
        p.addArc (x, b - d, d, d, MathConstants<float>::pi, 1.5f * MathConstants<float>::pi);
    }
    else
    {
        p.lineTo (x, b);
    }

    p.closeSubPath();
}

//==============================================================================
void BtnLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button,
                                           const juce::Colour& backgroundColour,
                                           bool /*shouldDrawButtonAsHighlighted*/,
                                           bool shouldDrawButtonAsDown)
{
    // A connected edge runs almost to the border so that neighbours join up.
    const auto insetFor = [] (bool connected) { return connected ? 0.1f : 0.5f; };
    const auto left   = insetFor (button.isConnectedOnLeft());
    const auto right  = insetFor (button.isConnectedOnRight());
    const auto top    = insetFor (button.isConnectedOnTop());
    const auto bottom = insetFor (button.isConnectedOnBottom());

    drawBackground (g, left, top,
                    (float) button.getWidth() - left - right,
                    (float) button.getHeight() - top - bottom,
                    backgroundColour, 1.0f, -1.0f,
                    button.isConnectedOnLeft(), button.isConnectedOnRight(),
                    button.isConnectedOnTop(), button.isConnectedOnBottom(),
                    shouldDrawButtonAsDown);
}

void BtnLookAndFeel::drawBackground (juce::Graphics& g, float x, float y, float width, float height,
                                     const juce::Colour& colour, float outlineThickness, float cornerSize,
                                     bool flatOnLeft, bool flatOnRight, bool flatOnTop, bool flatOnBottom,
                                     bool pressed)
{
    if (outlineThickness >= width || outlineThickness >= height)
        return;

    const auto cs = cornerSize >= 0.0f ? cornerSize : 0.5f * juce::jmin (width, height);

    juce::Path p;
    createRoundedPath (p, x, y, width, height, cs,
                       ! (flatOnLeft || flatOnTop), ! (flatOnRight || flatOnTop),
                       ! (flatOnLeft || flatOnBottom), ! (flatOnRight || flatOnBottom));

    g.setGradientFill (createBackgroundGradient (colour, y, height, pressed));
    g.fillPath (p);

    g.setColour (colour.darker (ButtonColours::outlineDarkening));
    g.strokePath (p, juce::PathStrokeType (outlineThickness, juce::PathStrokeType::mitered,
                                           juce::PathStrokeType::butt));
}

juce::ColourGradient BtnLookAndFeel::createBackgroundGradient (const juce::Colour& colour, float y, float height,
                                                               bool pressed)
{
    using namespace ButtonColours;
    juce::ColourGradient gradient (pressed ? pressedTop : releasedEnds, 0.0f, y,
                                   pressed ? pressedBottom : releasedEnds, 0.0f, y + height, false);
    gradient.addColour (0.5, pressed ? pressedMiddle : colour.darker (middleDarkening));
    return gradient;
}

//==============================================================================
void LangLookAndFeel::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area,
                                         bool isSeparator, bool isActive, bool isHighlighted, bool isTicked,
                                         bool hasSubMenu, const juce::String& text,
                                         const juce::String& shortcutKeyText,
                                         const juce::Drawable* icon, const juce::Colour* textColourToUse)
{
    const juce::Graphics::ScopedSaveState savedState (g);
    g.setOrigin (area.getPosition());
    const auto width = area.getWidth();
    const auto height = area.getHeight();

    if (isSeparator)
    {
        drawSeparator (g, width, height);
        return;
    }

    setItemColour (g, width, height, isActive, isHighlighted, textColourToUse);
    const ScopedFallbackTypeface fallback (getItemTypeface (text));

    const auto font = getItemFont (height);
    g.setFont (font);

    const auto leftBorder = (height * 5) / 4;
    drawIconOrTick (g, icon, isTicked, leftBorder, height, font.getAscent());
    g.drawFittedText (text, leftBorder, 0, width - (leftBorder + 4), height,
                      juce::Justification::centredLeft, 1, minimumHorizontalScale);

    if (shortcutKeyText.isNotEmpty())
        drawShortcut (g, shortcutKeyText, leftBorder, width, height);

    if (hasSubMenu)
        drawSubMenuArrow (g, width, height);
}

juce::String LangLookAndFeel::getItemTypeface (const juce::String& itemText)
{
    const auto* texts = TxtLoader::getInstance();

    for (juce::uint32 i = 0; i < numLanguages; ++i)
        if (itemText.equalsIgnoreCase (texts->getLang (i)))
            return texts->getFont (i);

    return juce::Font::getFallbackFontName();
}

void LangLookAndFeel::drawSeparator (juce::Graphics& g, int width, int height)
{
    const auto hh = 0.5f * (float) height;
    const auto right = (float) width - 5.5f;

    g.setColour (MenuColours::separatorShadow);
    g.drawLine (5.5f, hh, right, hh, 1.0f);
    g.setColour (MenuColours::separatorHighlight);
    g.drawLine (5.5f, hh + 1.0f, right, hh + 1.0f, 1.0f);
}

void LangLookAndFeel::setItemColour (juce::Graphics& g, int width, int height, bool isActive, bool isHighlighted,
                                     const juce::Colour* textColourToUse)
{
    auto colour = textColourToUse != nullptr ? *textColourToUse
                                             : findColour (juce::PopupMenu::textColourId);

    if (isHighlighted)
    {
        // The menu's own dark blue, whatever the colour table's highlight colour.
        g.setColour (MenuColours::highlightFill);
        g.fillRect (1, 1, width - 2, height - 2);
        colour = findColour (juce::PopupMenu::highlightedTextColourId);
    }

    g.setColour (colour);

    if (! isActive)
        g.setOpacity (MenuColours::inactiveOpacity);
}

juce::Font LangLookAndFeel::getItemFont (int height)
{
    auto font = getPopupMenuFont();
    const auto maxHeight = (float) height / 1.3f;

    if (font.getHeight() > maxHeight)
        font.setHeight (maxHeight);

    return font;
}

void LangLookAndFeel::drawIconOrTick (juce::Graphics& g, const juce::Drawable* icon, bool isTicked,
                                      int leftBorder, int height, float tickHeight)
{
    if (icon != nullptr)
    {
        icon->drawWithin (g, { 2.0f, 1.0f, (float) (leftBorder - 4), (float) (height - 2) },
                          juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize,
                          1.0f);
    }
    else if (isTicked)
    {
        const juce::Rectangle<float> box (2.0f, 0.5f * (float) height - 0.5f * tickHeight,
                                          (float) (leftBorder - 4), tickHeight);
        const auto tick = getTickShape (1.0f);
        g.fillPath (tick, tick.getTransformToScaleToFit (box, true));
    }
}

void LangLookAndFeel::drawShortcut (juce::Graphics& g, const juce::String& shortcutKeyText, int leftBorder,
                                    int width, int height)
{
    auto font = g.getCurrentFont();
    font.setHeight (font.getHeight() * 0.75f);
    font.setHorizontalScale (0.95f);
    g.setFont (font);

    g.drawText (shortcutKeyText, leftBorder, 0, width - (leftBorder + 8), height,
                juce::Justification::centredRight, true);
}

void LangLookAndFeel::drawSubMenuArrow (juce::Graphics& g, int width, int height)
{
    const auto arrowHeight = 0.6f * getPopupMenuFont().getAscent();
    const auto x = (float) width - 0.6f * (float) height;
    const auto hh = 0.5f * (float) height;

    juce::Path arrow;
    arrow.addTriangle (x, hh - 0.5f * arrowHeight,
                       x, hh + 0.5f * arrowHeight,
                       x + 0.6f * arrowHeight, hh);
    g.fillPath (arrow);
}

//==============================================================================
void ProgressLookAndFeel::drawProgressBar (juce::Graphics& g, juce::ProgressBar& progressBar, int width, int height,
                                           double progress, const juce::String& textToShow)
{
    g.setColour (progressBar.findColour (juce::ProgressBar::backgroundColourId));
    g.fillRect (0, 0, width, height);

    g.setGradientFill (createFillGradient (height));
    g.fillRect (juce::Rectangle<float> (2.0f, 2.0f, (float) getFillWidth (progress, width), (float) (height - 4)));

    if (textToShow.isEmpty())
        return;

    g.setColour (ProgressColours::text);
    g.setFont (juce::Font (g.getCurrentFont().getTypefaceName(), 0.8f * (float) height, juce::Font::plain));
    g.drawText (textToShow, 0, 0, width, height, juce::Justification::centred, false);
}

juce::ColourGradient ProgressLookAndFeel::createFillGradient (int height)
{
    // The gradient ends two pixels above the fill's bottom edge; the fill keeps its end colour there.
    juce::ColourGradient gradient (ProgressColours::fillTop, 2.0f, 2.0f,
                                   ProgressColours::fillBottom, 2.0f, (float) (height - 4), false);
    gradient.addColour (0.5, ProgressColours::fillMiddle);
    return gradient;
}

double ProgressLookAndFeel::getFillWidth (double progress, int width)
{
    const auto maxWidth = juce::jmax (0.0, (double) width - 4.0);
    const auto fillWidth = progress * maxWidth;

    // Compared so that a value that is not a number leaves no fill.
    return fillWidth > 0.0 ? juce::jmin (fillWidth, maxWidth) : 0.0;
}
