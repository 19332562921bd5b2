#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** Appends one closed sub-path: the rectangle (x, y, w, h) with a quarter circle
    of radius cs in each corner whose flag is set, and a square corner elsewhere.
    Note the order of the flags: top-left, top-right, bottom-left, bottom-right.
*/
void createRoundedPath (juce::Path& p, float x, float y, float w, float h, float cs,
                        bool curveTopLeft, bool curveTopRight,
                        bool curveBottomLeft, bool curveBottomRight);

//==============================================================================
/** The look of VozadButton: a pill filled with a three-stop vertical gradient
    (blue while pressed) and outlined in a darker tone of the button colour.
    Hover, focus and the enabled state change nothing.
*/
class BtnLookAndFeel  : public juce::LookAndFeel_V2
{
public:
    BtnLookAndFeel() = default;
    ~BtnLookAndFeel() override = default;

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    /** Fills and outlines the shape in (x, y, width, height); draws nothing when the
        outline would be as wide or as high as the shape. A negative cornerSize gives
        half the shorter side, so the shorter sides become half circles.
    */
    static void drawBackground (juce::Graphics&, float x, float y, float width, float height,
                                const juce::Colour& colour, float outlineThickness, float cornerSize,
                                bool flatOnLeft, bool flatOnRight, bool flatOnTop, bool flatOnBottom,
                                bool pressed);

    /** The background's vertical gradient over the shape's own height (y to y + height). */
    static juce::ColourGradient createBackgroundGradient (const juce::Colour& colour, float y, float height,
                                                          bool pressed);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BtnLookAndFeel)
};

//==============================================================================
/** The look of the language menu's pop-up list. Each item that shows a language's
    name is drawn with that language's typeface as JUCE's fallback typeface, so the
    name appears in its own script whatever the current language; the highlighted
    item is filled in dark blue.
*/
class LangLookAndFeel  : public juce::LookAndFeel_V2
{
public:
    LangLookAndFeel() = default;
    ~LangLookAndFeel() override = default;

    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area,
                            bool isSeparator, bool isActive, bool isHighlighted, bool isTicked,
                            bool hasSubMenu, const juce::String& text, const juce::String& shortcutKeyText,
                            const juce::Drawable* icon, const juce::Colour* textColourToUse) override;

    /** The fallback typeface for an item: the typeface of the language whose name the
        item shows (compared ignoring case), or the current fallback when it shows none.
    */
    static juce::String getItemTypeface (const juce::String& itemText);

private:
    static void drawSeparator (juce::Graphics&, int width, int height);
    void setItemColour (juce::Graphics&, int width, int height, bool isActive, bool isHighlighted,
                        const juce::Colour* textColourToUse);
    juce::Font getItemFont (int height);
    void drawIconOrTick (juce::Graphics&, const juce::Drawable* icon, bool isTicked,
                         int leftBorder, int height, float tickHeight);
    static void drawShortcut (juce::Graphics&, const juce::String& shortcutKeyText, int leftBorder,
                              int width, int height);
    void drawSubMenuArrow (juce::Graphics&, int width, int height);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LangLookAndFeel)
};

//==============================================================================
/** The look of the update progress bar: a grey vertical gradient that grows from
    the left over the bar's background colour, with the bar's text in white.
    There is no indeterminate mode: values outside 0 to 1 are clamped.
*/
class ProgressLookAndFeel  : public juce::LookAndFeel_V2
{
public:
    ProgressLookAndFeel() = default;
    ~ProgressLookAndFeel() override = default;

    void drawProgressBar (juce::Graphics&, juce::ProgressBar&, int width, int height,
                          double progress, const juce::String& textToShow) override;

    /** The fill's vertical gradient for a bar of the given height. */
    static juce::ColourGradient createFillGradient (int height);

    /** The width of the fill: progress × (width − 4), kept within 0 to width − 4;
        0 for a value that is not a number or a bar narrower than 4 pixels.
    */
    static double getFillWidth (double progress, int width);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProgressLookAndFeel)
};
