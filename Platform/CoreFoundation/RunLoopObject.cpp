#include "CoreFoundation/RunLoopObject.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace
{
// The epoll data of the wake descriptor; watches count from 1.
constexpr platform::WatchID wakeID = 0;
constexpr int eventsPerWait = 32;

[[noreturn]] void failSystemCall(const char* call)
{
    const std::string message = std::string(call) + " failed: " + std::strerror(errno);
    platform::fatal("CFRunLoopGetCurrent", message.c_str());
}

void addToEpoll(int epollDescriptor, int fd, uint32_t events, platform::WatchID id)
{
    epoll_event event {};
    event.events = events;
    event.data.u64 = id;
    if (epoll_ctl(epollDescriptor, EPOLL_CTL_ADD, fd, &event) != 0)
        failSystemCall("epoll_ctl");
}
} // namespace

CFTypeID CFRunLoopObject::typeID()
{
    static const CFTypeID id = platform::registerType("CFRunLoop");
    return id;
}

CFRunLoopObject::CFRunLoopObject(std::thread::id ownerThread) : platform::Object(typeID()), owner(ownerThread)
{
    // A process out of descriptors has no way to run HID callbacks at all.
    epollDescriptor = epoll_create1(EPOLL_CLOEXEC);
    if (epollDescriptor < 0)
        failSystemCall("epoll_create1");
    wakeDescriptor = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeDescriptor < 0)
        failSystemCall("eventfd");
    addToEpoll(epollDescriptor, wakeDescriptor, EPOLLIN, wakeID);
}

CFRunLoopObject::~CFRunLoopObject()
{
    close(wakeDescriptor);
    close(epollDescriptor);
}

bool CFRunLoopObject::post(platform::RunLoopTask task)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (retired)
            return false;
        posted.push_back(std::move(task));
    }
    wakeUp();
    return true;
}

platform::WatchID CFRunLoopObject::watch(int fd, uint32_t events, platform::DescriptorHandler handler)
{
    std::lock_guard<std::mutex> guard(lock);
    if (retired)
        return 0;
    const platform::WatchID id = ++lastWatchID;
    epoll_event event {};
    event.events = events;
    event.data.u64 = id;
    if (epoll_ctl(epollDescriptor, EPOLL_CTL_ADD, fd, &event) != 0)
        return 0;
    watches.emplace(id, Watch { fd, std::make_shared<platform::DescriptorHandler>(std::move(handler)) });
    return id;
}

void CFRunLoopObject::unwatch(platform::WatchID id)
{
    Watch removed;
    {
        std::lock_guard<std::mutex> guard(lock);
        auto found = watches.find(id);
        if (found == watches.end())
            return;
        removed = std::move(found->second);
        watches.erase(found);
        epoll_ctl(epollDescriptor, EPOLL_CTL_DEL, removed.fd, nullptr);
    }
    // The handler dies here, outside the lock: its captures may call back in.
}

void CFRunLoopObject::wakeUp()
{
    const uint64_t one = 1;
    // A full counter (EAGAIN) is already a pending wake-up.
    [[maybe_unused]] auto written = write(wakeDescriptor, &one, sizeof one);
}

int CFRunLoopObject::dispatch(int timeoutMs)
{
    epoll_event events[eventsPerWait];
    const int ready = epoll_wait(epollDescriptor, events, eventsPerWait, timeoutMs);
    int handled = 0;
    for (int i = 0; i < ready; ++i)
    {
        if (events[i].data.u64 == wakeID)
            handled += runPostedTasks();
        else if (runHandler(events[i].data.u64, events[i].events))
            ++handled;
    }
    return handled;
}

int CFRunLoopObject::runPostedTasks()
{
    uint64_t count;
    [[maybe_unused]] auto drained = read(wakeDescriptor, &count, sizeof count);
    std::deque<platform::RunLoopTask> tasks;
    {
        std::lock_guard<std::mutex> guard(lock);
        tasks.swap(posted);
    }
    for (auto& task : tasks)
        task();
    return static_cast<int>(tasks.size());
}

bool CFRunLoopObject::runHandler(platform::WatchID id, uint32_t events)
{
    std::shared_ptr<platform::DescriptorHandler> handler;
    {
        std::lock_guard<std::mutex> guard(lock);
        auto found = watches.find(id);
        if (found == watches.end())
            return false; // unwatched by a handler that ran before it in this pass
        handler = found->second.handler;
    }
    (*handler)(events);
    return true;
}

void CFRunLoopObject::requestStop()
{
    stopRequested = true;
    wakeUp();
}

bool CFRunLoopObject::hasWork() const
{
    if (scheduledObjects > 0)
        return true;
    std::lock_guard<std::mutex> guard(lock);
    return !posted.empty() || !watches.empty();
}

void CFRunLoopObject::retire()
{
    std::deque<platform::RunLoopTask> dropped;
    std::map<platform::WatchID, Watch> forgotten;
    {
        std::lock_guard<std::mutex> guard(lock);
        retired = true;
        dropped.swap(posted);
        forgotten.swap(watches);
        for (const auto& entry : forgotten)
            epoll_ctl(epollDescriptor, EPOLL_CTL_DEL, entry.second.fd, nullptr);
    }
    // Tasks and handlers die here, outside the lock: their captures may post again.
}
