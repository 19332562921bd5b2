// The harnesses that drive a whole MainComponent run it on libFuzzer's thread,
// set up as the program sets up its message thread: JUCE's GUI runtime, the
// bridge that dispatches the platform run loop from JUCE's loop, and only
// virtual HID devices in sight.
#pragma once

namespace fuzzsupport
{

// Once per process; later calls do nothing. Nothing is torn down: the process
// ends with the fuzzer.
void startMessageThread();

} // namespace fuzzsupport
