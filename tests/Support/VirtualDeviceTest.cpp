#include "Support/VirtualDeviceTest.h"

#include <Platform/VirtualHID.h>

namespace kvxtest
{

VirtualDeviceTest::VirtualDeviceTest()
{
    platform::useVirtualDevices();
}

} // namespace kvxtest
