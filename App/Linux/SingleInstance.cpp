#include "SingleInstance.h"

#include "InstanceFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr juce::uint32 messageMagic = 0x4b565831; // "KVX1"
constexpr int sendTimeoutMs = 2000;
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
{
    const auto choice = InstanceFolder::choose (applicationName);
    folder = choice.folder;
    pipePath = folder.getChildFile (applicationName).getFullPathName();
    problem = choice.fault;

    if (problem.isEmpty())
        takeLock (folder.getChildFile (applicationName + ".lock"));

    if (lockDescriptor >= 0)
        listen();
}

SingleInstance::~SingleInstance()
{
    listener.reset();

    // Closing the file releases the lock.
    if (lockDescriptor >= 0)
        close (lockDescriptor);
}

bool SingleInstance::isAnotherInstanceRunning() const noexcept
{
    return anotherRunning;
}

bool SingleInstance::sendToRunningInstance (const juce::String& commandLine)
{
    Connection sender;
    juce::MemoryBlock message;
    message.append (commandLine.toRawUTF8(), commandLine.getNumBytesAsUTF8());

    if (sender.connectToPipe (pipePath, sendTimeoutMs) && sender.sendMessage (message))
        return true;

    problem = "another copy holds the lock in " + folder.getFullPathName()
            + " but does not answer; it may be starting or ending, so try again in a moment";
    return false;
}

const juce::String& SingleInstance::getProblem() const noexcept
{
    return problem;
}

//==============================================================================
// Another copy's lock shows as EACCES or EAGAIN. Any other failure leaves it
// unknown whether one runs, and a process that cannot tell must not run.
void SingleInstance::takeLock (const juce::File& lockFile)
{
    const auto path = lockFile.getFullPathName();
    const int descriptor = open (path.toRawUTF8(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);

    struct flock wholeFile {};
    wholeFile.l_type = F_WRLCK;
    wholeFile.l_whence = SEEK_SET;

    if (descriptor >= 0 && fcntl (descriptor, F_SETLK, &wholeFile) == 0)
    {
        lockDescriptor = descriptor;
        return;
    }

    const int error = errno;

    if (descriptor >= 0)
        close (descriptor);

    if (descriptor >= 0 && (error == EACCES || error == EAGAIN))
        anotherRunning = true;
    else
        problem = "cannot take the lock " + path + ": " + juce::String (std::strerror (error));
}

// JUCE would make the pipe's FIFOs readable by every user and take over any it
// finds, so they are made here first, for this user alone; ones that a killed
// instance left behind go first. JUCE removes them when the listener ends.
void SingleInstance::listen()
{
    for (const auto* end : { "_in", "_out" })
    {
        const auto fifo = pipePath + end;
        unlink (fifo.toRawUTF8());

        if (mkfifo (fifo.toRawUTF8(), S_IRUSR | S_IWUSR) != 0)
            return;
    }

    listener = std::make_unique<Connection>();

    if (! listener->createPipe (pipePath, -1, false))
        listener.reset();
}
