// One open hidraw device node: reads input reports, writes output reports.
//
// Writes may come from any thread while the node is read and closed on its
// device's run loop; the lock makes a close wait for a write in progress, so
// no write ever reaches a descriptor number that has been closed or reused.
#pragma once

#include <IOKit/IOReturn.h>

#include <cstddef>
#include <cstdint>
#include <shared_mutex>
#include <string>
#include <vector>

namespace platform::hidraw
{

class HidrawNode
{
public:
    explicit HidrawNode(std::string devnode);
    ~HidrawNode();

    HidrawNode(const HidrawNode&) = delete;
    HidrawNode& operator=(const HidrawNode&) = delete;

    // Opens the node, non-blocking, unless it is open: 0, or the errno of the failure.
    int open();
    // For good: later writes fail with kIOReturnNoDevice.
    void close();
    // -1 while closed.
    int descriptor() const;

    enum class ReadStatus
    {
        report,  // one report of `length` bytes (cut to the capacity)
        none,    // nothing to read now
        gone     // the device behind the node has gone
    };
    ReadStatus read(uint8_t* buffer, size_t capacity, size_t& length);

    // One write, as hidraw takes it: the report ID byte first. A numbered
    // report already begins with it and is written as given; an unnumbered
    // one (ID 0) gets a 0 byte in front.
    IOReturn write(uint8_t reportID, const uint8_t* data, size_t length);

private:
    const std::string devnode;
    mutable std::shared_mutex mutex;
    int fd = -1;
};

} // namespace platform::hidraw
