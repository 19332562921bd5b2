// The tests' message thread: the test thread itself, dispatched by hand.
#pragma once

#include <functional>

namespace uitest
{

// Dispatches JUCE's messages, and through them the platform run loop of this
// thread, until done() holds. The bound only keeps a broken test from hanging:
// returns done(), so a test asserts on the condition, never on the time.
bool runMessageLoopUntil(const std::function<bool()>& done, int boundMs = 60000);

// Dispatches until nothing is pending.
void runPendingMessages();

// Dispatches only the platform run loop (the HID callbacks), leaving JUCE's
// messages, such as a posted screen request, undelivered.
bool runPlatformRunLoopUntil(const std::function<bool()>& done, int boundMs = 60000);

} // namespace uitest
