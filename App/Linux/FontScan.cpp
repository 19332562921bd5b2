#include "FontScan.h"

#include <juce_graphics/juce_graphics.h>

FontScan::FontScan()
    : scan ([] { juce::Font::findAllTypefaceNames(); })
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
