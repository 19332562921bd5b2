#pragma once

#include <CoreFoundation/CFRunLoop.h>

//==============================================================================
/**
    Linux only: lets JUCE's message loop dispatch the platform run loop of the
    message thread, on which the controller link schedules its HID callbacks, so
    that every one of them arrives on the message thread.

    Create it on the message thread, after the message manager and before the
    controller link; destroy it there after the link has been finalised.
*/
class RunLoopBridge
{
public:
    RunLoopBridge();
    ~RunLoopBridge();

private:
    CFRunLoopRef runLoop;
    int descriptor;

    RunLoopBridge (const RunLoopBridge&) = delete;
    RunLoopBridge& operator= (const RunLoopBridge&) = delete;
};
