// Run loops: each thread's loop of dispatching the work of the objects scheduled on it.
//
// Every thread has one run loop, made on its first CFRunLoopGetCurrent and gone
// with the thread. Objects scheduled on a run loop (HID managers and devices)
// call back only on that run loop's thread, from inside CFRunLoopRunInMode or
// platform::runLoopDispatch (<Platform/RunLoop.h>) on that thread.
//
// The layer has a single mode: every mode name, kCFRunLoopDefaultMode and
// kCFRunLoopCommonModes included, stands for it. There are no timers.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef struct CFRunLoopObject* CFRunLoopRef;
typedef CFStringRef CFRunLoopMode;

extern const CFRunLoopMode kCFRunLoopDefaultMode;
extern const CFRunLoopMode kCFRunLoopCommonModes;

typedef SInt32 CFRunLoopRunResult;

enum : CFRunLoopRunResult
{
    kCFRunLoopRunFinished = 1,     // nothing is scheduled on the run loop
    kCFRunLoopRunStopped = 2,      // CFRunLoopStop
    kCFRunLoopRunTimedOut = 3,     // the time ran out
    kCFRunLoopRunHandledSource = 4 // something was dispatched and returnAfterSourceHandled was set
};

CFTypeID CFRunLoopGetTypeID(void);

// The calling thread's run loop; not retained for the caller.
CFRunLoopRef CFRunLoopGetCurrent(void);
// The run loop of the thread that started the process; not retained for the caller.
CFRunLoopRef CFRunLoopGetMain(void);

// Runs the calling thread's run loop: waits for work and dispatches it until
// the time is up (0 or less: dispatches what is ready and returns), until
// CFRunLoopStop, or, with returnAfterSourceHandled, after the first pass that
// dispatched something. Returns kCFRunLoopRunFinished at once when nothing is
// scheduled and no work is waiting. Runs may nest.
CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds, Boolean returnAfterSourceHandled);
// Runs until CFRunLoopStop, or until nothing is scheduled.
void CFRunLoopRun(void);

// Makes the innermost CFRunLoopRunInMode of rl return kCFRunLoopRunStopped; when
// none is running, the next one returns so at once. Any thread.
void CFRunLoopStop(CFRunLoopRef rl);
// Wakes a run loop that waits, so that it looks at its work again. Any thread.
void CFRunLoopWakeUp(CFRunLoopRef rl);
