// Where the emulated controller's node sits.
#include "Support/Umockdev/UmockdevControllerTransport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kvxtest
{
namespace
{

// A controller placed anywhere but where its LocationID says would change which
// of several controllers the link holds.
TEST(UmockdevControllerTransportTest, RefusesALocationThatNamesNoUsbPort)
{
    for (const long locationID : { 0x00100000L, 0x01000000L, 0x01203000L })
    {
        ControllerIdentity identity;
        identity.locationID = locationID;
        EXPECT_THROW(controllerDescription(identity), std::invalid_argument) << std::hex << "0x" << locationID;
    }
}

} // namespace
} // namespace kvxtest
