#pragma once

#include <juce_core/juce_core.h>

#include <thread>

//==============================================================================
/**
    Linux only: the fonts that the window needs, read ahead of time on a thread
    of their own.

    JUCE opens every font file of its folders at the first text layout, which
    the window's construction makes: some milliseconds on the start-up path.
    The thread first opens the CJK faces that the start language's text draws
    with first (Fonts::openFirstFacesOf), then makes JUCE's list of fonts, all
    in one ScopedDescriptorTurn: made before JUCE connects to the display, it
    runs while JUCE waits for the server, and JUCE's Desktop, made in the
    message thread's turn, waits for it.

    JUCE's list of fonts is not made to be created from two threads at once: no
    font may be used until waitUntilDone() has returned.
*/
class FontScan
{
public:
    /** Starts opening the first faces of the start language's typeface name,
        and then the scan.
    */
    explicit FontScan (const juce::String& startTypefaceName);

    /** Waits for the scan. */
    ~FontScan();

    /** Waits for the scan. */
    void waitUntilDone();

private:
    std::thread scan;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FontScan)
};
