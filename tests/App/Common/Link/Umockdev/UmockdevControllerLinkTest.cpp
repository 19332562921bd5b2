// The link scenarios over the real Linux device source: each controller sits on
// a hidraw node that umockdev emulates, found through libudev and reached
// through /dev/hidrawN.
#include "App/Common/Link/ControllerLinkTest.h"
#include "App/Common/Link/Umockdev/HidrawNodes.h"

#include "Support/Umockdev/UmockdevControllerTransport.h"

namespace kvxtest
{
namespace
{

std::unique_ptr<ControllerTransport> connectThroughHidraw(EmulatedController& controller,
                                                          const ControllerIdentity& identity)
{
    return std::make_unique<UmockdevControllerTransport>(controller, sharedTestbed(), identity);
}

INSTANTIATE_TEST_SUITE_P(HidrawNodes, ControllerLinkTest,
                         ::testing::Values(ControllerSource { "hidraw nodes", &useHidrawNodes, &connectThroughHidraw }));

} // namespace
} // namespace kvxtest
