#include "CoreFoundation/RunLoopObject.h"

#include <CoreFoundation/CFString.h>
#include <Platform/RunLoop.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>

const CFRunLoopMode kCFRunLoopDefaultMode = CFSTR("kCFRunLoopDefaultMode");
const CFRunLoopMode kCFRunLoopCommonModes = CFSTR("kCFRunLoopCommonModes");

namespace
{
std::thread::id mainThread()
{
    static const std::thread::id id = std::this_thread::get_id();
    return id;
}

// Static initialisers run on the main thread: the first call must come from one.
const std::thread::id mainThreadAtStart = mainThread();

CFRunLoopObject* mainRunLoop()
{
    // Lives as long as the process: other threads may still post to it while
    // the main thread exits.
    static CFRunLoopObject* const loop = new CFRunLoopObject(mainThread());
    return loop;
}

// Gives the thread's run loop back when the thread ends.
struct ThreadRunLoop
{
    CFRunLoopObject* loop = nullptr;

    ~ThreadRunLoop()
    {
        if (loop == nullptr)
            return;
        loop->retire();
        CFRelease(loop);
    }
};

CFRunLoopObject& currentRunLoop()
{
    if (std::this_thread::get_id() == mainThread())
        return *mainRunLoop();
    thread_local ThreadRunLoop threadLoop;
    if (threadLoop.loop == nullptr)
        threadLoop.loop = new CFRunLoopObject(std::this_thread::get_id());
    return *threadLoop.loop;
}

using Clock = std::chrono::steady_clock;

// Milliseconds to wait for, rounded up so that a short wait is not a busy one.
int waitMilliseconds(Clock::time_point deadline)
{
    const auto remaining = std::chrono::duration<double, std::milli>(deadline - Clock::now()).count();
    if (remaining <= 0)
        return 0;
    return static_cast<int>(std::min(std::ceil(remaining), static_cast<double>(INT_MAX)));
}

Clock::time_point deadlineAfter(CFTimeInterval seconds)
{
    // About 30 years: longer than any run, short enough for the clock's range.
    constexpr CFTimeInterval longest = 1.0e9;
    const CFTimeInterval wait = std::isnan(seconds) ? 0.0 : std::clamp(seconds, 0.0, longest);
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait));
}
} // namespace

CFTypeID CFRunLoopGetTypeID(void)
{
    return CFRunLoopObject::typeID();
}

CFRunLoopRef CFRunLoopGetCurrent(void)
{
    return &currentRunLoop();
}

CFRunLoopRef CFRunLoopGetMain(void)
{
    return mainRunLoop();
}

CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode, CFTimeInterval seconds, Boolean returnAfterSourceHandled)
{
    auto& loop = currentRunLoop();
    const auto deadline = deadlineAfter(seconds);
    for (;;)
    {
        if (loop.takeStopRequest())
            return kCFRunLoopRunStopped;
        if (!loop.hasWork())
            return kCFRunLoopRunFinished;
        const int handled = loop.dispatch(waitMilliseconds(deadline));
        if (loop.takeStopRequest())
            return kCFRunLoopRunStopped;
        if (handled > 0 && returnAfterSourceHandled)
            return kCFRunLoopRunHandledSource;
        if (Clock::now() >= deadline)
            return kCFRunLoopRunTimedOut;
    }
}

void CFRunLoopRun(void)
{
    constexpr CFTimeInterval aLongTime = 1.0e10;
    CFRunLoopRunResult result;
    do
        result = CFRunLoopRunInMode(kCFRunLoopDefaultMode, aLongTime, false);
    while (result != kCFRunLoopRunStopped && result != kCFRunLoopRunFinished);
}

void CFRunLoopStop(CFRunLoopRef rl)
{
    if (auto* loop = platform::runLoopObject(rl))
        loop->requestStop();
}

void CFRunLoopWakeUp(CFRunLoopRef rl)
{
    if (auto* loop = platform::runLoopObject(rl))
        loop->wakeUp();
}

namespace platform
{

CFRunLoopObject* runLoopObject(CFRunLoopRef runLoop)
{
    return objectCast<CFRunLoopObject>(runLoop);
}

int runLoopDescriptor(CFRunLoopRef runLoop)
{
    auto* loop = runLoopObject(runLoop);
    return loop != nullptr ? loop->descriptor() : -1;
}

void runLoopDispatch(CFRunLoopRef runLoop)
{
    auto* loop = runLoopObject(runLoop);
    if (loop != nullptr && loop->isOwnedByCurrentThread())
        loop->dispatch(0);
}

bool runLoopPost(CFRunLoopRef runLoop, RunLoopTask task)
{
    auto* loop = runLoopObject(runLoop);
    return loop != nullptr && loop->post(std::move(task));
}

WatchID runLoopWatch(CFRunLoopRef runLoop, int fd, uint32_t events, DescriptorHandler handler)
{
    auto* loop = runLoopObject(runLoop);
    return loop != nullptr ? loop->watch(fd, events, std::move(handler)) : 0;
}

void runLoopUnwatch(CFRunLoopRef runLoop, WatchID id)
{
    if (auto* loop = runLoopObject(runLoop))
        loop->unwatch(id);
}

void runLoopAddScheduledObject(CFRunLoopRef runLoop)
{
    if (auto* loop = runLoopObject(runLoop))
        loop->addScheduledObject();
}

void runLoopRemoveScheduledObject(CFRunLoopRef runLoop)
{
    if (auto* loop = runLoopObject(runLoop))
        loop->removeScheduledObject();
}

} // namespace platform
