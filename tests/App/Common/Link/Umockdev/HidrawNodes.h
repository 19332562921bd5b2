// What the tests of this binary share: one testbed of emulated hidraw nodes,
// and the real Linux device source over it.
#pragma once

#include "Support/Umockdev/EmulatedHidraw.h"

namespace kvxtest
{

// One for the whole process, since every testbed keeps a few descriptors open.
// Each test unplugs what it plugged in.
HidrawTestbed& sharedTestbed();

// Makes a new hidraw source the process default, so that the HID managers
// created from now on see the testbed's nodes and nothing an earlier test left.
void useHidrawNodes();

} // namespace kvxtest
