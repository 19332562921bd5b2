// One JUCE GUI runtime for the whole binary, with the test thread as its
// message thread and only virtual HID devices in sight.
#include "RunLoopBridge.h"

#include <Platform/VirtualHID.h>

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace
{

class UiTestEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        platform::useVirtualDevices();
        juce::initialiseJuce_GUI();
        juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
        // The application's own glue: the HID callbacks arrive through JUCE's loop.
        bridge = std::make_unique<RunLoopBridge>();
    }

    void TearDown() override
    {
        bridge.reset();
        juce::shutdownJuce_GUI();
    }

private:
    std::unique_ptr<RunLoopBridge> bridge;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new UiTestEnvironment());

} // namespace
