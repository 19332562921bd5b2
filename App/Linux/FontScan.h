#pragma once

#include <juce_core/juce_core.h>

#include <thread>

//==============================================================================
/**
    Linux only: JUCE's one look through the font folders, made ahead of time on
    a thread of its own.

    JUCE opens every font file of its folders at the first text layout, which
    the window's construction makes: some milliseconds on the start-up path.
    Started before the look connects to the display, which takes longer, the
    scan is over by the time the window needs it.

    JUCE's list of fonts is not made to be created from two threads at once: no
    font may be used until waitUntilDone() has returned. A fork (JUCE forks a
    child to ask gsettings about dark mode as it connects to the display) waits
    until every scan has ended: a child forked while the scan's thread is inside
    a file call can inherit a lock of that call and hang.
*/
class FontScan
{
public:
    /** Starts the scan. */
    FontScan();

    /** Waits for the scan. */
    ~FontScan();

    void waitUntilDone();

private:
    std::thread scan;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FontScan)
};
