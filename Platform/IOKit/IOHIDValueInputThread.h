// The layer's own thread for the input of devices that no client schedules.
//
// A device object open but not scheduled on any run loop still takes in its
// input reports here, so that its element values stay current for a caller who
// polls IOHIDDeviceGetValue without running a run loop. No callback runs here.
#pragma once

#include <CoreFoundation/CFRunLoop.h>

namespace platform
{

// Started on first use; it runs for the life of the process.
CFRunLoopRef valueInputRunLoop();

} // namespace platform
