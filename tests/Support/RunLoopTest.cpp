#include "Support/RunLoopTest.h"

#include <Platform/RunLoop.h>

#include <poll.h>

namespace kvxtest
{

namespace
{

bool runLoopHasWork(int waitMilliseconds = 0)
{
    pollfd descriptor { platform::runLoopDescriptor(CFRunLoopGetCurrent()), POLLIN, 0 };
    return poll(&descriptor, 1, waitMilliseconds) > 0;
}

} // namespace

RunLoopTest::~RunLoopTest()
{
    dispatchRunLoop();
}

void RunLoopTest::dispatchRunLoop()
{
    // Bounded, so that a callback that keeps posting work fails the test
    // instead of hanging it.
    for (int round = 0; round < 100; ++round)
    {
        platform::runLoopDispatch(CFRunLoopGetCurrent());

        if (! runLoopHasWork())
            return;
    }

    ADD_FAILURE() << "the run loop still has work after 100 rounds";
}

bool RunLoopTest::dispatchRunLoopUntil(const std::function<bool()>& done)
{
    constexpr int idleRoundsAllowed = 50;

    for (int idleRounds = 0; ! done() && idleRounds < idleRoundsAllowed;)
    {
        if (runLoopHasWork(100))
            platform::runLoopDispatch(CFRunLoopGetCurrent());
        else
            ++idleRounds;
    }

    return done();
}

} // namespace kvxtest
