// One JUCE GUI runtime for the whole binary, with the test thread as its
// message thread and only virtual HID devices in sight.
#include "FontCollections.h"
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
        // As the application does, but in the build folder rather than the
        // user's cache.
        FontCollections::expose (getFontFolder());
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
    static juce::File getFontFolder()
    {
        return juce::File::getSpecialLocation(juce::File::currentExecutableFile).getSiblingFile("font_collections");
    }

    std::unique_ptr<RunLoopBridge> bridge;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new UiTestEnvironment());

} // namespace
