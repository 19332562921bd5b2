#pragma once

#include "CustomLookAndFeel.h"

#include <memory>

//==============================================================================
/** The application's push button: JUCE's button behaviour with a look of its own
    (BtnLookAndFeel) and a single-line label in a typeface, style and placement
    that the button holds, always in the same near-black.
*/
class VozadButton  : public juce::Button
{
public:
    /** The name is also the first label. */
    explicit VozadButton (const juce::String& name);
    ~VozadButton() override;

    //==============================================================================
    /** Sets the label and repaints, also when the label is unchanged, so that a
        typeface or style set just before shows at once.
    */
    void setButtonText (const juce::String& newText);

    /** The following only store their value; it shows at the next painting. */
    void setVozad (const juce::Justification& justification);
    void setFont (const juce::String& typefaceName);
    void setStyle (int styleFlags);

protected:
    void paintButton (juce::Graphics&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

private:
    std::unique_ptr<BtnLookAndFeel> m_lookAndFeel;
    juce::Justification m_vozad { juce::Justification::centred };
    juce::String m_font { juce::Font::getDefaultSansSerifFontName() };
    int m_style = juce::Font::plain;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VozadButton)
};
