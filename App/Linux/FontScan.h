#pragma once

#include <juce_core/juce_core.h>

#include <thread>

//==============================================================================
/**
    Linux only: JUCE's one look through the font folders, made ahead of time on
    a thread of its own.

    JUCE opens every font file of its folders at the first text layout, which
    the window's construction makes: a few milliseconds on the start-up path,
    which the scan spends beside the work that precedes the first layout.

    JUCE's list of fonts is not made to be created from two threads at once: no
    font may be used until waitUntilDone() has returned. And no child process
    should be forked while the scan runs: the child may inherit a lock that the
    scan's thread holds inside a file call.
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
