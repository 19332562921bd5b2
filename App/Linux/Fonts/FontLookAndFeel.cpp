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
    auto families = Fonts::findInstalledFamilies (font.getTypefaceName());

    // JUCE's face for a name that no font has draws nothing, Latin included:
    // without a face for its language, a text still shows its Latin letters,
    // and boxes for the rest.
    if (families.isEmpty())
        families = Fonts::findInstalledFamilies (juce::Font::getDefaultSansSerifFontName());

    // JUCE's own answer would make its list of fonts.
    if (families.isEmpty())
        return Fonts::createDefaultTypeface (font.getTypefaceStyle());

    return new FontChain (font, families);
}
