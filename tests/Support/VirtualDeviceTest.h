// Base of the tests that drive the controller link through virtual devices.
#pragma once

#include "Support/RunLoopTest.h"

namespace kvxtest
{

class VirtualDeviceTest : public RunLoopTest
{
protected:
    VirtualDeviceTest();
};

} // namespace kvxtest
