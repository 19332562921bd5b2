#include "FuzzMessageThread.h"

#include "RunLoopBridge.h"

#include <Platform/VirtualHID.h>

#include <juce_gui_basics/juce_gui_basics.h>

namespace fuzzsupport
{

void startMessageThread()
{
    static const bool started = [] {
        platform::useVirtualDevices();
        juce::initialiseJuce_GUI();
        juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
        static RunLoopBridge bridge;
        return true;
    }();
    (void) started;
}

} // namespace fuzzsupport
