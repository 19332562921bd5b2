#include "RunLoopBridge.h"

#include <Platform/RunLoop.h>

#include <juce_events/juce_events.h>

RunLoopBridge::RunLoopBridge()
    : runLoop (CFRunLoopGetCurrent()),
      descriptor (platform::runLoopDescriptor (runLoop))
{
    jassert (juce::MessageManager::getInstance()->isThisTheMessageThread());

    juce::LinuxEventLoop::registerFdCallback (descriptor, [loop = runLoop] (int)
    {
        platform::runLoopDispatch (loop);
    });
}

RunLoopBridge::~RunLoopBridge()
{
    juce::LinuxEventLoop::unregisterFdCallback (descriptor);
}
