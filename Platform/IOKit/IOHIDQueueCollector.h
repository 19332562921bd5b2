// What an element queue keeps: its elements, the last value it saw of each, and
// the values it collected.
//
// The device object hands every input report it takes in to the collectors of
// its queues, on whichever thread takes the report in; the queue's owner adds
// elements and takes values out on its own threads.
#pragma once

#include "IOKit/Retained.h"

#include <IOKit/hid/IOHIDValue.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace platform
{

class QueueCollector
{
public:
    // depth: the most values held; reportsNumbered: whether the device's reports lead with their ID.
    QueueCollector(size_t depth, bool reportsNumbered);

    // current: the element's value now, from which the next report's change counts.
    void add(IOHIDElementRef element, int64_t current);
    void remove(IOHIDElementRef element);
    bool contains(IOHIDElementRef element) const;

    // Collecting starts from the elements' values now, as currentValue gives them.
    // It is called with the collector's lock held and must not call back into it.
    void start(const std::function<int64_t(IOHIDElementRef)>& currentValue);
    void stop();

    // One input report as the device sent it. Never blocks on a reader.
    void takeReport(const uint8_t* bytes, size_t length);
    // The oldest value, waiting up to timeout seconds for one; null when none came.
    Retained<IOHIDValueRef> takeNext(double timeout);

private:
    struct Watched
    {
        Retained<IOHIDElementRef> element;
        int64_t last = 0;
    };

    void collectLocked(Watched& entry, const uint8_t* bytes, size_t length, uint64_t timeStamp);
    std::vector<Watched>::iterator findLocked(IOHIDElementRef element);

    const size_t depth;
    const bool reportsNumbered;

    mutable std::mutex lock;
    std::condition_variable arrived;
    std::vector<Watched> watched;
    std::deque<Retained<IOHIDValueRef>> values;
    bool collecting = false;
};

} // namespace platform
