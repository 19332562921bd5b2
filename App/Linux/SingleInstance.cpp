#include "SingleInstance.h"

#include "HandOverProtocol.h"
#include "InstanceFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace
{
// Longer than the running instance's own bounds for reading a start and for
// waiting on its message thread, so that its answer is heard.
constexpr auto answerBound = std::chrono::seconds (8);

// A quit during an update waits up to 10 s for the controller's last reply.
constexpr auto releaseBound = std::chrono::seconds (12);
constexpr auto lockPollInterval = std::chrono::milliseconds (50);

// A connection whose connect and send give up with the answer's bound.
int connectWithin (const juce::String& socketPath, std::chrono::seconds bound)
{
    sockaddr_un address;

    if (! HandOverProtocol::makeAddress (socketPath.toRawUTF8(), address))
        return -1;

    const int connection = socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval timeout { (time_t) bound.count(), 0 };

    if (connection >= 0
        && setsockopt (connection, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof (timeout)) == 0
        && connect (connection, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) == 0)
        return connection;

    if (connection >= 0)
        close (connection);

    return -1;
}

// The start of a command line that fits the listener's limit, cut between
// characters.
juce::String cutToLimit (const juce::String& commandLine)
{
    auto character = commandLine.getCharPointer();
    size_t bytes = 0;

    for (; ! character.isEmpty(); ++character)
    {
        const auto next = bytes + juce::CharPointer_UTF8::getBytesRequiredFor (*character);

        if (next > HandOverProtocol::maxCommandLineBytes)
            break;

        bytes = next;
    }

    return juce::String::fromUTF8 (commandLine.toRawUTF8(), (int) bytes);
}
}

//==============================================================================
SingleInstance::SingleInstance (const juce::String& applicationName)
{
    const auto choice = InstanceFolder::choose (applicationName);
    folder = choice.folder;
    lockPath = folder.getChildFile (applicationName + ".lock").getFullPathName();
    socketPath = folder.getChildFile (applicationName + ".socket").getFullPathName();
    problem = choice.fault;

    if (problem.isEmpty())
        takeLock();
}

SingleInstance::~SingleInstance()
{
    // Before the lock goes: the socket is removed while it is still this
    // process's.
    listener.reset();

    // Closing the file releases the lock.
    if (lockDescriptor >= 0)
        close (lockDescriptor);
}

bool SingleInstance::isAnotherInstanceRunning() const noexcept
{
    return anotherRunning;
}

bool SingleInstance::handOverToRunningInstance (const juce::String& commandLine) const
{
    const int connection = connectWithin (socketPath, answerBound);

    if (connection < 0)
        return false;

    const auto text = cutToLimit (commandLine);
    const HandOverProtocol::Header header { HandOverProtocol::magic, (std::uint32_t) text.getNumBytesAsUTF8() };
    char answer = 0;

    const bool answered = HandOverProtocol::sendAll (connection, &header, sizeof (header))
                       && HandOverProtocol::sendAll (connection, text.toRawUTF8(), header.length)
                       && HandOverProtocol::receiveAll (connection, &answer, 1,
                                                        std::chrono::steady_clock::now() + answerBound, -1);
    close (connection);
    return answered && answer == HandOverProtocol::windowComesToFront;
}

bool SingleInstance::waitToRunInstead()
{
    const auto end = std::chrono::steady_clock::now() + releaseBound;

    while (anotherRunning && std::chrono::steady_clock::now() < end)
    {
        std::this_thread::sleep_for (lockPollInterval);
        anotherRunning = false;
        takeLock();
    }

    if (anotherRunning)
        problem = "another copy holds the lock in " + folder.getFullPathName()
                + " but neither brings its window to the front nor ends";

    return problem.isEmpty();
}

const juce::String& SingleInstance::getProblem() const noexcept
{
    return problem;
}

//==============================================================================
// Another copy's lock shows as EACCES or EAGAIN. Any other failure leaves it
// unknown whether one runs, and a process that cannot tell must not run.
void SingleInstance::takeLock()
{
    const int descriptor = open (lockPath.toRawUTF8(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);

    struct flock wholeFile {};
    wholeFile.l_type = F_WRLCK;
    wholeFile.l_whence = SEEK_SET;

    if (descriptor >= 0 && fcntl (descriptor, F_SETLK, &wholeFile) == 0)
    {
        lockDescriptor = descriptor;
        listen();
        return;
    }

    if (descriptor >= 0 && (errno == EACCES || errno == EAGAIN))
        anotherRunning = true;
    else
        problem = InstanceFolder::describeFailure ("cannot take the lock", lockPath);

    if (descriptor >= 0)
        close (descriptor);
}

// An instance that later starts cannot reach must not run: each of them would
// wait for it in vain.
void SingleInstance::listen()
{
    listener = std::make_unique<HandOverListener> (socketPath);
    problem = listener->getProblem();
}
