// Driving a run loop from another event loop.
//
// An application whose thread already runs an event loop (JUCE's message loop)
// watches the run loop's descriptor there and dispatches when it is readable:
//
//     int fd = platform::runLoopDescriptor(CFRunLoopGetCurrent());
//     juce::LinuxEventLoop::registerFdCallback(fd, [](int) { platform::runLoopDispatch(CFRunLoopGetCurrent()); });
#pragma once

#include <CoreFoundation/CFRunLoop.h>

namespace platform
{

// A descriptor that polls readable whenever the run loop has work to dispatch;
// it stays open as long as the run loop lives. Owned by the run loop: never
// read, write or close it. -1 for a null run loop.
int runLoopDescriptor(CFRunLoopRef runLoop);

// Dispatches all the work that is ready, without waiting; call it on the run
// loop's own thread (a call from another thread does nothing). Work that
// becomes ready meanwhile makes the descriptor readable again.
void runLoopDispatch(CFRunLoopRef runLoop);

} // namespace platform
