// The reference for the start-up benchmark: the least JUCE program that shows a
// window like the updater's (400 x 150 content, the platform's title bar,
// centred), built the same way.
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace
{

class BareWindow : public juce::ResizableWindow
{
public:
    BareWindow() : juce::ResizableWindow("BareWindow", true)
    {
        setUsingNativeTitleBar(true);
        auto* content = new juce::Component();
        content->setSize(400, 150);
        setContentOwned(content, true);
        centreWithSize(getWidth(), getHeight());
        setVisible(true);
    }
};

class BareWindowApplication : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "BareWindow"; }
    const juce::String getApplicationVersion() override { return "1.0"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise(const juce::String&) override { window = std::make_unique<BareWindow>(); }
    void shutdown() override { window.reset(); }

private:
    std::unique_ptr<BareWindow> window;
};

} // namespace

START_JUCE_APPLICATION(BareWindowApplication)
