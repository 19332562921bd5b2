// The run loop behind a CFRunLoopRef, and what the layer's event sources ask of it.
//
// A run loop is an epoll set holding an eventfd, which posted work and wake-ups
// signal, and the descriptors that sources watch. Its epoll descriptor is the
// one that platform::runLoopDescriptor hands out: it polls readable whenever
// anything in the set is ready.
#pragma once

#include "CoreFoundation/Object.h"

#include <CoreFoundation/CFRunLoop.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace platform
{

using RunLoopTask = std::function<void()>;
// Receives the epoll events (EPOLLIN, EPOLLHUP, ...) of a ready descriptor.
using DescriptorHandler = std::function<void(uint32_t events)>;
using WatchID = uint64_t;

} // namespace platform

struct CFRunLoopObject : platform::Object
{
    static CFTypeID typeID();

    // owner: the thread that dispatches this run loop.
    explicit CFRunLoopObject(std::thread::id owner);
    ~CFRunLoopObject() override;

    int descriptor() const { return epollDescriptor; }
    bool isOwnedByCurrentThread() const { return owner == std::this_thread::get_id(); }

    bool post(platform::RunLoopTask task);
    platform::WatchID watch(int fd, uint32_t events, platform::DescriptorHandler handler);
    void unwatch(platform::WatchID id);
    void wakeUp();

    // Waits up to timeoutMs (0: not at all, -1: without limit) for work, then
    // dispatches all that is ready; returns how many tasks and handlers ran.
    int dispatch(int timeoutMs);

    void requestStop();
    // True once after each requestStop.
    bool takeStopRequest() { return stopRequested.exchange(false); }

    void addScheduledObject() { ++scheduledObjects; }
    void removeScheduledObject() { --scheduledObjects; }
    // Something is scheduled, watched or posted: a run would not be finished.
    bool hasWork() const;

    // The owner thread has ended: posted work is dropped from now on.
    void retire();

private:
    int runPostedTasks();
    bool runHandler(platform::WatchID id, uint32_t events);

    const std::thread::id owner;
    int epollDescriptor = -1;
    int wakeDescriptor = -1;

    struct Watch
    {
        int fd = -1;
        // Shared with a dispatch that runs it, so that unwatching meanwhile is safe.
        std::shared_ptr<platform::DescriptorHandler> handler;
    };

    mutable std::mutex lock;
    std::deque<platform::RunLoopTask> posted;
    std::map<platform::WatchID, Watch> watches;
    platform::WatchID lastWatchID = 0;
    bool retired = false;

    std::atomic<bool> stopRequested { false };
    std::atomic<int> scheduledObjects { 0 };
};

namespace platform
{

// The run loop behind a reference, or null for null or a reference of another type.
CFRunLoopObject* runLoopObject(CFRunLoopRef runLoop);

// Runs task on the run loop's thread, at its next dispatch. Any thread. False
// (and the task dropped) for a null run loop or one whose thread has ended.
bool runLoopPost(CFRunLoopRef runLoop, RunLoopTask task);

// Calls handler on the run loop's thread whenever fd is ready for events
// (level-triggered: until the handler has drained it), until unwatched. Any
// thread; one watch per descriptor and run loop. 0 when the descriptor cannot
// be watched (errno tells why).
WatchID runLoopWatch(CFRunLoopRef runLoop, int fd, uint32_t events, DescriptorHandler handler);
// Once it returns the handler is not started again; called from another thread
// it does not wait for a call that is running. Unwatch before closing fd.
void runLoopUnwatch(CFRunLoopRef runLoop, WatchID id);

// Scheduled objects keep CFRunLoopRunInMode from returning kCFRunLoopRunFinished.
void runLoopAddScheduledObject(CFRunLoopRef runLoop);
void runLoopRemoveScheduledObject(CFRunLoopRef runLoop);

} // namespace platform
