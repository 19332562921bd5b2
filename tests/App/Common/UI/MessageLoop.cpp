#include "MessageLoop.h"

#include <Platform/RunLoop.h>

#include <juce_events/juce_events.h>

namespace juce
{
// JUCE's own step of its message loop; it has no public declaration.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}

namespace uitest
{

namespace
{
bool runUntil(const std::function<bool()>& done, int boundMs, const std::function<bool()>& dispatchOne)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) boundMs;

    while (! done())
    {
        if (juce::Time::getMillisecondCounter() > end)
            return done();

        if (! dispatchOne())
            juce::Thread::sleep(1);
    }

    return true;
}
} // namespace

bool runMessageLoopUntil(const std::function<bool()>& done, int boundMs)
{
    return runUntil(done, boundMs, [] { return juce::dispatchNextMessageOnSystemQueue(true); });
}

void runPendingMessages()
{
    while (juce::dispatchNextMessageOnSystemQueue(true))
    {
    }
}

bool runPlatformRunLoopUntil(const std::function<bool()>& done, int boundMs)
{
    return runUntil(done, boundMs, [] {
        platform::runLoopDispatch(CFRunLoopGetCurrent());
        return false;
    });
}

} // namespace uitest
