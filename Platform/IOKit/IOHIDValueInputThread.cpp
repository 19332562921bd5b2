#include "IOKit/IOHIDValueInputThread.h"

#include <Platform/RunLoop.h>

#include <future>
#include <poll.h>
#include <thread>

namespace platform
{

namespace
{
[[noreturn]] void dispatchForever(std::promise<CFRunLoopRef>& started)
{
    CFRunLoopRef runLoop = CFRunLoopGetCurrent();
    started.set_value(runLoop);
    pollfd ready { runLoopDescriptor(runLoop), POLLIN, 0 };
    for (;;)
    {
        if (poll(&ready, 1, -1) > 0)
            runLoopDispatch(runLoop);
    }
}
} // namespace

CFRunLoopRef valueInputRunLoop()
{
    static const CFRunLoopRef runLoop = [] {
        std::promise<CFRunLoopRef> started;
        auto future = started.get_future();
        // Detached: the process may end while it waits, and nothing needs it to stop.
        std::thread([promise = std::move(started)]() mutable { dispatchForever(promise); }).detach();
        return future.get();
    }();
    return runLoop;
}

} // namespace platform
