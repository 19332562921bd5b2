#include "App/Common/Link/Umockdev/HidrawNodes.h"

#include "IOKit/DeviceSource.h"
#include "Sources/Hidraw/HidrawSource.h"

namespace kvxtest
{

HidrawTestbed& sharedTestbed()
{
    static HidrawTestbed testbed;
    return testbed;
}

void useHidrawNodes()
{
    // The testbed first: a udev monitor opened before it exists listens to the
    // real system and never hears of the testbed's devices.
    sharedTestbed();
    platform::setDefaultDeviceSource(platform::hidraw::createHidrawSource());
}

} // namespace kvxtest
