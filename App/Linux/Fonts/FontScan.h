#pragma once

#include <juce_core/juce_core.h>

#include <thread>

//==============================================================================
/**
    Linux only: JUCE's one look through the font folders, and the question to
    fontconfig about the CJK faces, made ahead of time on threads of their own.

    JUCE opens every font file of its folders at the first text layout, which
    the window's construction makes, and fontconfig reads its configuration
    before it answers: some milliseconds each on the start-up path. JUCE's scan
    runs while JUCE waits for the child it forks to ask gsettings about dark
    mode as the look connects to the display, so that it is over by the time
    the window needs it; fontconfig is asked at once, before that fork. No fork
    happens while either runs. fontconfig's answer may come after the window's
    first text: FontCollections waits for it when a CJK text first needs a
    face, and a Latin text never does.

    JUCE's list of fonts is not made to be created from two threads at once: no
    font may be used until waitUntilDone() has returned.
*/
class FontScan
{
public:
    /** Makes the scan, to start at the next fork or at waitUntilDone(). */
    FontScan();

    /** Waits for the whole scan. */
    ~FontScan();

    /** Starts the scan if no fork has, and waits until JUCE's list of fonts is made. */
    void waitUntilDone();

private:
    std::thread juceFonts, cjkFaces;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FontScan)
};
