#include "CoreFoundation/RunLoopObject.h"
#include "Platform/IOKit/RunLoopThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <poll.h>
#include <unistd.h>

namespace
{
using platformtest::RunLoopThread;

bool isReadable(int fd)
{
    pollfd ready { fd, POLLIN, 0 };
    return poll(&ready, 1, 0) > 0;
}

// A pipe whose ends close with the test.
struct Pipe
{
    int ends[2] {};
    Pipe() { EXPECT_EQ(pipe(ends), 0); }
    ~Pipe()
    {
        close(ends[0]);
        close(ends[1]);
    }
    void put(char byte) { EXPECT_EQ(write(ends[1], &byte, 1), 1); }
    char take()
    {
        char byte = 0;
        EXPECT_EQ(read(ends[0], &byte, 1), 1);
        return byte;
    }
};

//==============================================================================
// Work must run on the run loop's own thread, whoever posts it.
TEST(CFRunLoopThreads, PostedWorkRunsOnTheRunLoopsThread)
{
    RunLoopThread worker;
    std::thread::id ranOn;
    ASSERT_TRUE(platform::runLoopPost(worker.getRunLoop(), [&] { ranOn = std::this_thread::get_id(); }));
    worker.drain();
    EXPECT_EQ(ranOn, worker.getThreadID());
}

TEST(CFRunLoopThreads, MainRunLoopIsTheMainThreadsOwn)
{
    // gtest runs the tests on the process's main thread.
    EXPECT_EQ(CFRunLoopGetMain(), CFRunLoopGetCurrent());
    RunLoopThread worker;
    CFRunLoopRef seenFromWorker = nullptr;
    worker.call([&] { seenFromWorker = CFRunLoopGetMain(); });
    EXPECT_EQ(seenFromWorker, CFRunLoopGetCurrent());
}

TEST(CFRunLoopThreads, DispatchFromAnotherThreadRunsNothing)
{
    RunLoopThread worker;
    bool ran = false;
    worker.call([&] { platform::runLoopPost(CFRunLoopGetMain(), [&] { ran = true; }); });
    // The worker is not the main run loop's thread: it must not run the main thread's work.
    worker.call([] { platform::runLoopDispatch(CFRunLoopGetMain()); });
    EXPECT_FALSE(ran);
    platformtest::drainCurrentRunLoop();
    EXPECT_TRUE(ran);
}

TEST(CFRunLoopThreads, PostingToTheRunLoopOfAnEndedThreadFails)
{
    CFRunLoopRef ended = nullptr;
    std::thread(
        [&]
        {
            ended = CFRunLoopGetCurrent();
            CFRetain(ended);
        })
        .join();
    auto keepsNoReference = std::make_shared<int>(0);
    EXPECT_FALSE(platform::runLoopPost(ended, [keepsNoReference] {}));
    EXPECT_EQ(keepsNoReference.use_count(), 1);
    CFRelease(ended);
}

//==============================================================================
// The application sleeps in poll on the descriptor: it must become readable for
// work, and stop being readable once the work ran, or the message thread spins.
TEST(CFRunLoopDescriptor, ReadableWhileWorkWaitsAndNotAfterDispatch)
{
    const CFRunLoopRef loop = CFRunLoopGetCurrent();
    const int fd = platform::runLoopDescriptor(loop);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(isReadable(fd));

    int runs = 0;
    std::thread([&] { platform::runLoopPost(loop, [&] { ++runs; }); }).join();
    EXPECT_TRUE(isReadable(fd));
    platform::runLoopDispatch(loop);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(isReadable(fd));
}

TEST(CFRunLoopDescriptor, WatchedDescriptorIsHandledOnTheRunLoopsThreadUntilUnwatched)
{
    RunLoopThread worker;
    Pipe wire;
    std::atomic<int> handled { 0 };
    std::thread::id handledOn;
    const auto id = platform::runLoopWatch(worker.getRunLoop(), wire.ends[0], POLLIN,
                                           [&](uint32_t)
                                           {
                                               wire.take();
                                               handledOn = std::this_thread::get_id();
                                               ++handled;
                                           });
    ASSERT_NE(id, 0u);
    wire.put('a');
    worker.drain();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(handledOn, worker.getThreadID());

    platform::runLoopUnwatch(worker.getRunLoop(), id);
    wire.put('b');
    worker.drain();
    EXPECT_EQ(handled, 1);
    // An unwatched descriptor that stays readable must not keep the run loop's readable.
    EXPECT_FALSE(isReadable(platform::runLoopDescriptor(worker.getRunLoop())));
}

TEST(CFRunLoopDescriptor, HandlerMayUnwatchItself)
{
    RunLoopThread worker;
    Pipe wire;
    std::atomic<int> handled { 0 };
    std::atomic<platform::WatchID> id { 0 };
    id = platform::runLoopWatch(worker.getRunLoop(), wire.ends[0], POLLIN,
                                [&](uint32_t)
                                {
                                    ++handled;
                                    platform::runLoopUnwatch(worker.getRunLoop(), id);
                                });
    wire.put('a');
    worker.drain();
    wire.put('b');
    worker.drain();
    EXPECT_EQ(handled, 1);
}

//==============================================================================
// CFRunLoopRunInMode's results tell callers why it returned.
class CFRunLoopRunInModeTest : public ::testing::Test
{
protected:
    void TearDown() override { platformtest::drainCurrentRunLoop(); }
};

TEST_F(CFRunLoopRunInModeTest, FinishedAtOnceWhenNothingIsScheduled)
{
    RunLoopThread worker;
    CFRunLoopRunResult result = 0;
    worker.call([&] { result = CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0e6, false); });
    EXPECT_EQ(result, kCFRunLoopRunFinished);
}

TEST_F(CFRunLoopRunInModeTest, HandledSourceAfterPostedWork)
{
    bool ran = false;
    platform::runLoopPost(CFRunLoopGetCurrent(), [&] { ran = true; });
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0e6, true), kCFRunLoopRunHandledSource);
    EXPECT_TRUE(ran);
}

TEST_F(CFRunLoopRunInModeTest, StopFromAnotherThreadEndsAWaitingRun)
{
    const CFRunLoopRef loop = CFRunLoopGetCurrent();
    platform::runLoopAddScheduledObject(loop);
    std::thread stopper([loop] { CFRunLoopStop(loop); });
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0e6, false), kCFRunLoopRunStopped);
    stopper.join();
    platform::runLoopRemoveScheduledObject(loop);
}

TEST_F(CFRunLoopRunInModeTest, StopBeforeRunningStopsTheNextRunOnly)
{
    const CFRunLoopRef loop = CFRunLoopGetCurrent();
    platform::runLoopAddScheduledObject(loop);
    CFRunLoopStop(loop);
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0e6, false), kCFRunLoopRunStopped);
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, false), kCFRunLoopRunTimedOut);
    platform::runLoopRemoveScheduledObject(loop);
}
} // namespace
