#include "FontScan.h"

#include "Fonts.h"

#include <juce_graphics/juce_graphics.h>

#include <condition_variable>
#include <mutex>

#include <pthread.h>

namespace
{
    // A child forked while the scan's thread is inside a file call can inherit
    // a lock that the call holds and hang before it runs its command: under
    // umockdev's preload, whose open() takes one, JUCE's child that asks
    // gsettings about dark mode did, with every signal blocked. So no scan runs
    // across a fork: a fork waits for the running scans, and a scan waits for
    // a fork in progress. And a scan starts at the first fork after it was
    // made, that of the gsettings child as the look connects to the display,
    // to run while JUCE waits for that child.
    struct Scans
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        int running = 0;
    };

    Scans& getScans()
    {
        static Scans scans;
        return scans;
    }

    // The mutex stays locked across the fork, so that no scan starts meanwhile
    // and the child inherits it from the thread that forked, which unlocks it:
    // the child never waits for a thread that it does not have.
    void beforeFork()
    {
        auto& scans = getScans();
        std::unique_lock<std::mutex> lock (scans.mutex);
        scans.changed.wait (lock, [&scans] { return scans.running == 0; });
        lock.release();
    }

    void afterForkInParent()
    {
        auto& scans = getScans();
        scans.released = true;
        scans.mutex.unlock();
        scans.changed.notify_all();
    }

    void afterForkInChild()
    {
        getScans().mutex.unlock();
    }

    void releaseScans()
    {
        auto& scans = getScans();
        const std::lock_guard<std::mutex> lock (scans.mutex);
        scans.released = true;
        scans.changed.notify_all();
    }

    void startRunning()
    {
        auto& scans = getScans();
        const std::lock_guard<std::mutex> lock (scans.mutex);
        ++scans.running;
    }

    void stopRunning()
    {
        auto& scans = getScans();
        const std::lock_guard<std::mutex> lock (scans.mutex);
        --scans.running;
        scans.changed.notify_all();
    }

    // JUCE closes a child's pipe twice as it destroys the child, and a file
    // opened in between would be closed with it: the faces open before the
    // first fork, which waits for them, counted as running from before the
    // thread starts.
    void openStartFaces (const juce::String& typefaceName)
    {
        Fonts::openFirstFacesOf (typefaceName);
        stopRunning();
    }

    void scanFonts()
    {
        auto& scans = getScans();

        {
            std::unique_lock<std::mutex> lock (scans.mutex);
            scans.changed.wait (lock, [&scans] { return scans.released; });
            ++scans.running;
        }

        juce::Font::findAllTypefaceNames();
        stopRunning();
    }
}

FontScan::FontScan (const juce::String& startTypefaceName)
{
    static const auto forksAndScansTakeTurns = pthread_atfork (beforeFork, afterForkInParent, afterForkInChild);
    juce::ignoreUnused (forksAndScansTakeTurns);
    startRunning();

    scan = std::thread ([startTypefaceName]
    {
        openStartFaces (startTypefaceName);
        scanFonts();
    });
}

FontScan::~FontScan()
{
    waitUntilDone();
}

void FontScan::waitUntilDone()
{
    releaseScans();

    if (scan.joinable())
        scan.join();
}
