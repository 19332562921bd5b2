#include "LinuxFontScan.h"

#include <juce_graphics/juce_graphics.h>

LinuxFontScan::LinuxFontScan()
    : scan ([] { juce::Font::findAllTypefaceNames(); })
{
}

LinuxFontScan::~LinuxFontScan()
{
    waitUntilDone();
}

void LinuxFontScan::waitUntilDone()
{
    if (scan.joinable())
        scan.join();
}
