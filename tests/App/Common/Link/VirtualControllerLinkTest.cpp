// The link scenarios over the platform's in-memory virtual devices.
#include "ControllerLinkTest.h"

#include "Support/VirtualControllerTransport.h"

#include <Platform/VirtualHID.h>

namespace kvxtest
{
namespace
{

std::unique_ptr<ControllerTransport> connectVirtually(EmulatedController& controller, const ControllerIdentity& identity)
{
    return std::make_unique<VirtualControllerTransport>(controller, identity);
}

INSTANTIATE_TEST_SUITE_P(VirtualDevices, ControllerLinkTest,
                         ::testing::Values(ControllerSource { "virtual devices", &platform::useVirtualDevices, &connectVirtually }));

} // namespace
} // namespace kvxtest
