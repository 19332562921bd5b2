#include "FontLookAndFeel.h"

#include "FontChain.h"
#include "Fonts.h"

std::unique_ptr<FontLookAndFeel> FontLookAndFeel::installAsDefault()
{
    auto look = std::make_unique<FontLookAndFeel>();
    juce::LookAndFeel::setDefaultLookAndFeel (look.get());

    // JUCE caches typefaces by name, and its default face with them: those found
    // through the previous look would outlive it.
    juce::Typeface::clearTypefaceCache();
    return look;
}

FontLookAndFeel::~FontLookAndFeel()
{
    if (&juce::LookAndFeel::getDefaultLookAndFeel() == this)
    {
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
        juce::Typeface::clearTypefaceCache();
    }
}

juce::Typeface::Ptr FontLookAndFeel::getTypefaceForFont (const juce::Font& font)
{
    const auto families = Fonts::findInstalledFamilies (font.getTypefaceName());

    if (families.isEmpty())
        return juce::LookAndFeel_V4::getTypefaceForFont (font);

    return new FontChain (font, families);
}
