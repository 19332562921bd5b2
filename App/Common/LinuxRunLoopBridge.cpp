#include "LinuxRunLoopBridge.h"

#include <Platform/RunLoop.h>

#include <juce_events/juce_events.h>

LinuxRunLoopBridge::LinuxRunLoopBridge()
    : runLoop (CFRunLoopGetCurrent()),
      descriptor (platform::runLoopDescriptor (runLoop))
{
    jassert (juce::MessageManager::getInstance()->isThisTheMessageThread());

    juce::LinuxEventLoop::registerFdCallback (descriptor, [loop = runLoop] (int)
    {
        platform::runLoopDispatch (loop);
    });
}

LinuxRunLoopBridge::~LinuxRunLoopBridge()
{
    juce::LinuxEventLoop::unregisterFdCallback (descriptor);
}
