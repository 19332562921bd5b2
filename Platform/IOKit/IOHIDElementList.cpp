#include "IOKit/IOHIDElementList.h"

#include "IOKit/IOHIDElementObject.h"
#include "IOKit/IOHIDValueObject.h"


namespace platform
{

ElementList::ElementList(HIDReportDescriptor parsedDescriptor, IOHIDDeviceRef ownerObject)
    : descriptor(std::move(parsedDescriptor)), owner(ownerObject), latest(descriptor.elements.size())
{
}

//==============================================================================
Retained<CFArrayRef> ElementList::copyMatching(CFDictionaryRef matching)
{
    auto result = Retained<CFMutableArrayRef>::adopt(
        CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    if (!result)
        throw std::bad_alloc();
    std::lock_guard<std::mutex> guard(lock);
    makeObjectsLocked();
    for (const auto& element : objects)
        if (matching == nullptr || element.get()->matches(matching))
            CFArrayAppendValue(result.get(), element.get());
    return Retained<CFArrayRef>::retain(result.get());
}

// Made on first use: many devices are never asked for their elements.
void ElementList::makeObjectsLocked()
{
    if (!objects.empty() || descriptor.elements.empty())
        return;
    objects.reserve(descriptor.elements.size());
    for (const auto& element : descriptor.elements)
    {
        // A collection always comes before the elements it holds.
        IOHIDElementRef parent = element.parentIndex ? objects[*element.parentIndex].get() : nullptr;
        objects.push_back(Retained<IOHIDElementRef>::adopt(new IOHIDElementObject(element, parent, weak_from_this())));
    }
}

//==============================================================================
IOReturn ElementList::latestValue(IOHIDElementRef element, IOHIDValueRef* value)
{
    auto* object = objectCast<IOHIDElementObject>(element);
    if (object == nullptr || value == nullptr || object->list.lock().get() != this)
        return kIOReturnBadArgument;
    if (object->isCollection())
        return kIOReturnUnsupported;

    std::lock_guard<std::mutex> guard(lock);
    auto& slot = latest[object->description.cookie - 1];
    const auto* handedOut = slot.handedOut ? objectCast<IOHIDValueObject>(slot.handedOut.get()) : nullptr;
    // The previous object stays as long as it is current, since callers do not own it.
    if (handedOut == nullptr || handedOut->integerValue != slot.value || handedOut->timeStamp != slot.timeStamp)
        slot.handedOut = Retained<IOHIDValueRef>::adopt(new IOHIDValueObject(element, slot.timeStamp, slot.value));
    *value = slot.handedOut.get();
    return kIOReturnSuccess;
}

void ElementList::takeReport(const uint8_t* bytes, size_t length)
{
    const uint64_t now = valueClockNow();
    std::lock_guard<std::mutex> guard(lock);
    for (size_t i = 0; i < descriptor.elements.size(); ++i)
    {
        const auto& element = descriptor.elements[i];
        if (!isInput(element.type))
            continue;
        if (const auto value = HIDReportDescriptor::extractValue(element, descriptor.reportsNumbered, bytes, length))
        {
            latest[i].value = *value;
            latest[i].timeStamp = now;
        }
    }
}

} // namespace platform
