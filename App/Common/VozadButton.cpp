#include "VozadButton.h"

namespace
{
    const juce::Colour labelColour { 0xff101010 };
    constexpr float maxLabelHeight = 13.0f;
    constexpr float minimumHorizontalScale = 0.7f;
}

//==============================================================================
VozadButton::VozadButton (const juce::String& name)
    : juce::Button (name),
      m_lookAndFeel (std::make_unique<BtnLookAndFeel>())
{
    setLookAndFeel (m_lookAndFeel.get());
    setColour (juce::TextButton::buttonColourId, juce::Colours::black);
    setColour (juce::TextButton::buttonOnColourId, juce::Colours::black);
}

VozadButton::~VozadButton()
{
    // The component keeps a weak reference to its look: drop it before the look goes.
    setLookAndFeel (nullptr);
    m_lookAndFeel.reset();
}

//==============================================================================
void VozadButton::setButtonText (const juce::String& newText)
{
    if (newText == getButtonText())
        repaint();
    else
        juce::Button::setButtonText (newText);
}

void VozadButton::setVozad (const juce::Justification& justification)
{
    m_vozad = justification;
}

void VozadButton::setFont (const juce::String& typefaceName)
{
    m_font = typefaceName;
}

void VozadButton::setStyle (int styleFlags)
{
    m_style = styleFlags;
}

//==============================================================================
void VozadButton::paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    const auto colourId = getToggleState() ? juce::TextButton::buttonOnColourId
                                           : juce::TextButton::buttonColourId;
    getLookAndFeel().drawButtonBackground (g, *this, findColour (colourId),
                                           shouldDrawButtonAsHighlighted, shouldDrawButtonAsDown);

    g.setFont (juce::Font (m_font, juce::jmin (maxLabelHeight, 0.8f * (float) getHeight()), m_style));
    g.setColour (labelColour);
    g.drawFittedText (getButtonText(), 4, 4, getWidth() - 8, getHeight() - 8, m_vozad, 1, minimumHorizontalScale);
}
