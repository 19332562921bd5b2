#include "SingleInstance.h"

#include <unistd.h>

namespace
{
constexpr juce::uint32 messageMagic = 0x4b565831; // "KVX1"
constexpr int sendTimeoutMs = 2000;

// The user's session names a runtime folder of its own, where its one instance
// keeps its lock and pipe; without one, the user's names in the shared folders.
juce::String getInstanceName (const juce::String& applicationName)
{
    const auto runtimeFolder = juce::SystemStats::getEnvironmentVariable ("XDG_RUNTIME_DIR", {});

    if (juce::File::isAbsolutePath (runtimeFolder) && juce::File (runtimeFolder).isDirectory())
        return juce::File (runtimeFolder).getChildFile (applicationName).getFullPathName();

    return applicationName + "-" + juce::String ((int) getuid());
}
}

//==============================================================================
// Both ends of the pipe. The listener's callbacks come on its own thread, so
// that it can listen before the message manager exists; the command line then
// travels to the message thread as an asynchronous call, which is dropped when
// the message loop has already stopped.
class SingleInstance::Connection  : public juce::InterprocessConnection
{
public:
    Connection() : juce::InterprocessConnection (false, messageMagic) {}
    ~Connection() override { disconnect (-1, Notify::no); }

    void connectionMade() override {}
    void connectionLost() override {}

    void messageReceived (const juce::MemoryBlock& message) override
    {
        juce::MessageManager::callAsync ([commandLine = message.toString()]
        {
            if (auto* app = juce::JUCEApplicationBase::getInstance())
                app->anotherInstanceStarted (commandLine);
        });
    }
};

//==============================================================================
SingleInstance::SingleInstance (const juce::String& applicationName)
    : pipeName (getInstanceName (applicationName)),
      lock (getInstanceName (applicationName) + ".lock")
{
    lockHeld = lock.enter (0);

    if (lockHeld)
    {
        listener = std::make_unique<Connection>();

        // A pipe left behind by an instance that was killed is taken over.
        if (! listener->createPipe (pipeName, -1, false))
            listener.reset();
    }
}

SingleInstance::~SingleInstance()
{
    listener.reset();

    if (lockHeld)
        lock.exit();
}

bool SingleInstance::isAnotherInstanceRunning() const noexcept
{
    return ! lockHeld;
}

bool SingleInstance::sendToRunningInstance (const juce::String& commandLine)
{
    Connection sender;

    if (! sender.connectToPipe (pipeName, sendTimeoutMs))
        return false;

    juce::MemoryBlock message;
    message.append (commandLine.toRawUTF8(), commandLine.getNumBytesAsUTF8());
    return sender.sendMessage (message);
}
