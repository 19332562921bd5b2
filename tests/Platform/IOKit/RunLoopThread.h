// Test helpers: run loops driven the way the application drives them, through
// the run loop's descriptor and platform::runLoopDispatch.
#pragma once

#include <CoreFoundation/CFRunLoop.h>
#include <Platform/RunLoop.h>

#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace platformtest
{

// Dispatches the calling thread's run loop until nothing is ready, also the
// work that dispatching itself posts. Deterministic: everything posted before
// the call has run when it returns.
inline void drainRunLoop(CFRunLoopRef runLoop)
{
    pollfd ready { platform::runLoopDescriptor(runLoop), POLLIN, 0 };
    while (poll(&ready, 1, 0) > 0)
        platform::runLoopDispatch(runLoop);
}

inline void drainCurrentRunLoop()
{
    drainRunLoop(CFRunLoopGetCurrent());
}

// A worker thread that sleeps in poll on its run loop's descriptor and
// dispatches when it is readable, as JUCE's message thread does.
class RunLoopThread
{
public:
    RunLoopThread()
    {
        std::promise<CFRunLoopRef> started;
        auto loop = started.get_future();
        worker = std::thread([this, &started] { run(started); });
        runLoop = loop.get();
    }

    ~RunLoopThread()
    {
        call([this] { quit = true; });
        worker.join();
        close(wakeDescriptor);
    }

    CFRunLoopRef getRunLoop() const { return runLoop; }
    std::thread::id getThreadID() const { return worker.get_id(); }

    // Runs work on the worker thread and waits for it.
    void call(std::function<void()> work)
    {
        std::packaged_task<void()> task(std::move(work));
        auto done = task.get_future();
        {
            std::lock_guard<std::mutex> guard(lock);
            calls.push_back(std::move(task));
        }
        const uint64_t one = 1;
        [[maybe_unused]] auto written = write(wakeDescriptor, &one, sizeof one);
        done.get();
    }

    // Everything posted to the worker's run loop before this call has run when it returns.
    void drain()
    {
        call([this] { drainRunLoop(runLoop); });
    }

private:
    void run(std::promise<CFRunLoopRef>& started)
    {
        started.set_value(CFRunLoopGetCurrent());
        while (!quit)
        {
            pollfd ready[] = { { platform::runLoopDescriptor(CFRunLoopGetCurrent()), POLLIN, 0 },
                               { wakeDescriptor, POLLIN, 0 } };
            poll(ready, 2, -1);
            if ((ready[0].revents & POLLIN) != 0)
                platform::runLoopDispatch(CFRunLoopGetCurrent());
            if ((ready[1].revents & POLLIN) != 0)
                runCalls();
        }
    }

    void runCalls()
    {
        uint64_t count;
        [[maybe_unused]] auto drained = read(wakeDescriptor, &count, sizeof count);
        std::deque<std::packaged_task<void()>> pending;
        {
            std::lock_guard<std::mutex> guard(lock);
            pending.swap(calls);
        }
        for (auto& task : pending)
            task();
    }

    const int wakeDescriptor = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::mutex lock;
    std::deque<std::packaged_task<void()>> calls;
    bool quit = false;
    CFRunLoopRef runLoop = nullptr;
    std::thread worker;
};

} // namespace platformtest
