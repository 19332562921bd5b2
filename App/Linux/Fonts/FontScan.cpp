#include "FontScan.h"

#include "DescriptorTurns.h"
#include "Fonts.h"

#include <juce_graphics/juce_graphics.h>

FontScan::FontScan (const juce::String& startTypefaceName)
    : scan ([startTypefaceName]
            {
                const ScopedDescriptorTurn turn;
                Fonts::openFirstFacesOf (startTypefaceName);
                juce::Font::findAllTypefaceNames();
            })
{
}

FontScan::~FontScan()
{
    waitUntilDone();
}

void FontScan::waitUntilDone()
{
    if (scan.joinable())
        scan.join();
}
