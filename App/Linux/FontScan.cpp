#include "FontScan.h"

#include <juce_graphics/juce_graphics.h>

#include <condition_variable>
#include <mutex>

#include <pthread.h>

namespace
{
    struct RunningScans
    {
        std::mutex mutex;
        std::condition_variable ended;
        int count = 0;
    };

    RunningScans& getRunningScans()
    {
        static RunningScans scans;
        return scans;
    }

    // A child forked while the scan's thread is inside a file call can inherit
    // a lock that the call holds and hang before it runs its command: under
    // umockdev's preload, whose open() takes one, JUCE's child that asks
    // gsettings about dark mode did, with every signal blocked. So a fork waits
    // for the scans to end.
    void waitForScansBeforeFork()
    {
        auto& scans = getRunningScans();
        std::unique_lock<std::mutex> lock (scans.mutex);
        scans.ended.wait (lock, [&scans] { return scans.count == 0; });
    }

    void scanFonts()
    {
        juce::Font::findAllTypefaceNames();

        auto& scans = getRunningScans();
        const std::lock_guard<std::mutex> lock (scans.mutex);
        --scans.count;
        scans.ended.notify_all();
    }

    void noteScanStarted()
    {
        auto& scans = getRunningScans();
        const std::lock_guard<std::mutex> lock (scans.mutex);
        ++scans.count;
    }
}

FontScan::FontScan()
{
    static const auto forksWaitForScans = pthread_atfork (waitForScansBeforeFork, nullptr, nullptr);
    juce::ignoreUnused (forksWaitForScans);
    noteScanStarted();
    scan = std::thread (scanFonts);
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
