// The one place where a failed system call of the hidraw source becomes an IOReturn.
#pragma once

#include <IOKit/IOReturn.h>

namespace platform::hidraw
{

IOReturn ioReturnFromErrno(int error);

// True for the errors with which a node answers once its device has been unplugged.
bool isDeviceGone(int error);

} // namespace platform::hidraw
