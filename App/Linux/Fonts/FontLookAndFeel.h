#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

//==============================================================================
/**
    Linux only: JUCE's default look with one change, the typefaces. Every font of
    the program finds its typeface through the default look, so as the default it
    gives each typeface name of the text tables an installed stand-in that covers
    its language (Fonts), and makes the fallback typeface work (FontChain).
    Names that no installed family stands in for draw in the sans-serif
    families, and in nothing when none of those is installed either: JUCE's
    own typefaces, and its scan of every font folder, are never asked for.
*/
class FontLookAndFeel  : public juce::LookAndFeel_V4
{
public:
    /** Creates the look and makes it JUCE's default, on the message thread. Keep
        it until every component has gone; it hands the role back when destroyed.
    */
    static std::unique_ptr<FontLookAndFeel> installAsDefault();

    FontLookAndFeel() = default;
    ~FontLookAndFeel() override;

    juce::Typeface::Ptr getTypefaceForFont (const juce::Font&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FontLookAndFeel)
};
