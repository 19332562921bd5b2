#include "HidrawErrors.h"

#include <cerrno>

namespace platform::hidraw
{

IOReturn ioReturnFromErrno(int error)
{
    switch (error)
    {
        case ENODEV:
        case ENXIO:
        case ENOENT:
        case ESHUTDOWN: return kIOReturnNoDevice;
        case EACCES:
        case EPERM:     return kIOReturnNotPrivileged;
        case EBUSY:     return kIOReturnExclusiveAccess;
        case ENOMEM:    return kIOReturnNoMemory;
        case ETIMEDOUT: return kIOReturnTimeout;
        case EINVAL:    return kIOReturnBadArgument;
        case EBADF:     return kIOReturnNotOpen;
        default:        return kIOReturnError;
    }
}

bool isDeviceGone(int error)
{
    // A read of a node whose hid device is gone fails with EIO; the others are
    // what a node answers once it is being torn down.
    return error == EIO || error == ENODEV || error == ENXIO || error == ESHUTDOWN;
}

} // namespace platform::hidraw
