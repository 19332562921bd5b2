// The updater itself for the benchmarks: a MainComponent on this thread as its
// message thread, run by JUCE's own dispatch loop as in the program, updating a
// file beside the executable against whatever controller is plugged in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace uitest
{
class FileBesideExecutable;
}

namespace bench
{

// Once per process, before any component. With virtualDevices the HID manager
// sees the in-memory devices only, else the system's (or umockdev's) hidraw nodes.
void startMessageThread(bool virtualDevices);

// A sound update file of exactly fileSize bytes (at least 150), its three marked
// sections sharing the data.
std::vector<uint8_t> updateFileOf(size_t fileSize);
// That file beside the executable, where the component looks for it; removed
// when the result goes.
std::unique_ptr<uitest::FileBesideExecutable> placeUpdateFile(size_t fileSize);

// Creates a component, which checks the file; presses OK on the language screen
// and Start on the ready screen; dispatches until the update has ended. Returns
// the final screen, SeqComplete on success; -1 when the controller was not there.
int runUpdate();

} // namespace bench
