#pragma once

#include <juce_core/juce_core.h>

#include <thread>

//==============================================================================
/**
    Linux only: the fonts that the window needs, read ahead of time on a thread
    of their own.

    JUCE opens every font file of its folders at the first text layout, which
    the window's construction makes: some milliseconds on the start-up path.
    The scan runs while JUCE waits for the child it forks to ask gsettings
    about dark mode as the look connects to the display, so that it is over by
    the time the window needs it; no fork happens while it runs. Before that
    fork, while JUCE connects, the same thread opens the CJK faces that the
    start language's text draws with first (Fonts::openFirstFacesOf).

    JUCE's list of fonts is not made to be created from two threads at once: no
    font may be used until waitUntilDone() has returned.
*/
class FontScan
{
public:
    /** Opens the first faces of the start language's typeface name at once,
        and makes the scan, to start at the next fork or at waitUntilDone().
    */
    explicit FontScan (const juce::String& startTypefaceName);

    /** Waits for the scan. */
    ~FontScan();

    /** Starts the scan if no fork has, and waits for it. */
    void waitUntilDone();

private:
    std::thread scan;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FontScan)
};
