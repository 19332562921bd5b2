#include "LinuxFontLookAndFeel.h"

#include "LinuxFontChain.h"
#include "LinuxFonts.h"

std::unique_ptr<LinuxFontLookAndFeel> LinuxFontLookAndFeel::installAsDefault()
{
    auto look = std::make_unique<LinuxFontLookAndFeel>();
    juce::LookAndFeel::setDefaultLookAndFeel (look.get());

    // JUCE caches typefaces by name, and its default face with them: those found
    // through the previous look would outlive it.
    juce::Typeface::clearTypefaceCache();
    return look;
}

LinuxFontLookAndFeel::~LinuxFontLookAndFeel()
{
    if (&juce::LookAndFeel::getDefaultLookAndFeel() == this)
    {
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
        juce::Typeface::clearTypefaceCache();
    }
}

juce::Typeface::Ptr LinuxFontLookAndFeel::getTypefaceForFont (const juce::Font& font)
{
    const auto families = LinuxFonts::findInstalledFamilies (font.getTypefaceName());

    if (families.isEmpty())
        return juce::LookAndFeel_V4::getTypefaceForFont (font);

    return new LinuxFontChain (font, families);
}
