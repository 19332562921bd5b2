#include "ComponentUpdate.h"

#include "RunLoopBridge.h"
#include "MainComponentProbe.h"
#include "UpdateFileBuilder.h"

#include <Platform/VirtualHID.h>

namespace juce
{
// JUCE's own step of its message loop, which runDispatchLoop repeats; it has no
// public declaration.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}

namespace bench
{

void startMessageThread(bool virtualDevices)
{
    if (virtualDevices)
        platform::useVirtualDevices();
    juce::initialiseJuce_GUI();
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    // Lives as long as the process: the platform's callbacks come through it.
    static RunLoopBridge bridge;
}

std::vector<uint8_t> updateFileOf(size_t fileSize)
{
    const size_t data = fileSize - 150;
    uitest::UpdateFileParts parts;
    parts.sections = { uitest::testPattern(data / 3, 1), uitest::testPattern(data / 3, 2),
                       uitest::testPattern(data - 2 * (data / 3), 3) };
    return parts.build();
}

std::unique_ptr<uitest::FileBesideExecutable> placeUpdateFile(size_t fileSize)
{
    return std::make_unique<uitest::FileBesideExecutable>(uitest::MainComponentProbe::updateFileName,
                                                          updateFileOf(fileSize));
}

int runUpdate()
{
    uitest::MainComponentProbe component;
    component.buttonClicked(component.getOkButton());
    if (component.getSequence() != SeqReady)
        return -1;
    component.buttonClicked(component.getOkButton());

    // The final screen is the update thread's last message; the thread ends right after it.
    while (component.getSequence() != SeqComplete && component.getSequence() != SeqError)
        juce::dispatchNextMessageOnSystemQueue(false);
    component.waitForThreadToExit(-1);
    return component.getSequence();
}

} // namespace bench
