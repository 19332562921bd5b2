// What the user reads when a device's node may not be opened.
//
// Linux gives hidraw nodes to root unless a udev rule gives them to the user.
// The layer cannot know which device matters to the user or what grants access
// to it, so the application names the device and the remedy.
#pragma once

#include <cstdint>
#include <string>

namespace platform
{

// From now on, the first time opening a node of the device with this USB vendor
// and product identifier fails for lack of permission, one line goes to the
// standard error stream: the node, the error, then the hint. It is printed once
// per process; failures of other devices and other errors print nothing (the
// open call's IOReturn still tells). Setting a hint again replaces the last one
// and lets it be printed once more. Any thread may call it.
void setAccessDeniedHint(uint32_t vendorID, uint32_t productID, std::string hint);

} // namespace platform
