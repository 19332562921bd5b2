#pragma once

#include <juce_core/juce_core.h>

#include <thread>

//==============================================================================
/**
    Linux only: JUCE's one look through the font folders, made ahead of time on
    a thread of its own.

    JUCE opens every font file of its folders at the first text layout, which
    the window's construction makes: some ten milliseconds on the start-up
    path. Started before the look connects to the display, which takes longer,
    the scan is over by the time the window needs it.

    JUCE's list of fonts is not made to be created from two threads at once: no
    font may be used until waitUntilDone() has returned.
*/
class FontScan
{
public:
    /** Starts the scan. JUCE_FONT_PATH must be final by then. */
    FontScan();

    /** Waits for the scan. */
    ~FontScan();

    void waitUntilDone();

private:
    std::thread scan;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FontScan)
};
