#include "IOKit/IOHIDQueueCollector.h"

#include "IOKit/IOHIDElementObject.h"
#include "IOKit/IOHIDValueObject.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace platform
{

QueueCollector::QueueCollector(size_t queueDepth, bool numbered) : depth(queueDepth), reportsNumbered(numbered) {}

//==============================================================================
void QueueCollector::add(IOHIDElementRef element, int64_t current)
{
    std::lock_guard<std::mutex> guard(lock);
    if (findLocked(element) == watched.end())
        watched.push_back(Watched { Retained<IOHIDElementRef>::retain(element), current });
}

void QueueCollector::remove(IOHIDElementRef element)
{
    std::lock_guard<std::mutex> guard(lock);
    if (const auto entry = findLocked(element); entry != watched.end())
        watched.erase(entry);
}

bool QueueCollector::contains(IOHIDElementRef element) const
{
    std::lock_guard<std::mutex> guard(lock);
    return std::any_of(watched.begin(), watched.end(),
                       [&](const Watched& entry) { return entry.element.get() == element; });
}

std::vector<QueueCollector::Watched>::iterator QueueCollector::findLocked(IOHIDElementRef element)
{
    return std::find_if(watched.begin(), watched.end(),
                        [&](const Watched& entry) { return entry.element.get() == element; });
}

//==============================================================================
void QueueCollector::start(const std::function<int64_t(IOHIDElementRef)>& currentValue)
{
    std::lock_guard<std::mutex> guard(lock);
    if (collecting)
        return;
    // Reports that came while stopped were not seen: changes count from now.
    for (auto& entry : watched)
        entry.last = currentValue(entry.element.get());
    collecting = true;
}

void QueueCollector::stop()
{
    std::lock_guard<std::mutex> guard(lock);
    collecting = false;
}

//==============================================================================
void QueueCollector::takeReport(const uint8_t* bytes, size_t length)
{
    const uint64_t timeStamp = valueClockNow();
    bool collected = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!collecting)
            return;
        const size_t before = values.size();
        try
        {
            for (auto& entry : watched)
                collectLocked(entry, bytes, length, timeStamp);
        }
        catch (const std::bad_alloc&)
        {
            // Out of memory: the values not made are lost, as those of a full queue are.
        }
        collected = values.size() > before;
    }
    if (collected)
        arrived.notify_all();
}

void QueueCollector::collectLocked(Watched& entry, const uint8_t* bytes, size_t length, uint64_t timeStamp)
{
    const auto& element = objectCast<IOHIDElementObject>(entry.element.get())->description;
    if (!isInput(element.type))
        return;
    const auto value = HIDReportDescriptor::extractValue(element, reportsNumbered, bytes, length);
    if (!value || *value == entry.last)
        return;
    entry.last = *value;
    // A full queue keeps its oldest values, as a reader who falls behind expects
    // to find the changes in the order they came; the newest are lost.
    if (values.size() < depth)
        values.push_back(Retained<IOHIDValueRef>::adopt(new IOHIDValueObject(entry.element.get(), timeStamp, *value)));
}

Retained<IOHIDValueRef> QueueCollector::takeNext(double timeout)
{
    std::unique_lock<std::mutex> guard(lock);
    if (values.empty() && timeout > 0)
    {
        // Bounded, so that an absurd timeout cannot overflow the clock.
        const auto wait = std::chrono::duration<double>(std::min(timeout, 1e9));
        arrived.wait_for(guard, wait, [this] { return !values.empty(); });
    }
    if (values.empty())
        return {};
    auto next = std::move(values.front());
    values.pop_front();
    return next;
}

} // namespace platform
