#include "FuzzMessageThread.h"

#include "LinuxRunLoopBridge.h"

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
        static LinuxRunLoopBridge bridge;
        return true;
    }();
    (void) started;
}

} // namespace fuzzsupport
