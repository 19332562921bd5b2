#include "SingleInstance.h"

#include "HandOverProtocol.h"
#include "InstanceFolder.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

// Longer than the running instance's own bounds for reading a start and for
// waiting on its message thread, so that its answer is heard.
constexpr auto answerBound = std::chrono::seconds (8);

// A quit during an update waits up to 10 s for the controller's last reply.
constexpr auto releaseBound = std::chrono::seconds (12);
constexpr auto lockPollInterval = std::chrono::milliseconds (50);

// No answer: none by the deadline, or the connection closed without one
// (the instance dropped it, or gave up waiting for its busy window).
enum class Reply { unreachable, none, closedUnanswered, windowComesToFront, quitting };

// A connection whose connect and sends give up at the deadline.
int connectBy (const std::string& socketPath, HandOverProtocol::Deadline deadline)
{
    sockaddr_un address;

    if (! HandOverProtocol::makeAddress (socketPath.c_str(), address))
        return -1;

    const int connection = socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A time-out of zero would mean none.
    const auto left = std::max (std::chrono::ceil<std::chrono::milliseconds> (deadline - Clock::now()),
                                std::chrono::milliseconds (1));
    const timeval timeout { (time_t) (left.count() / 1000), (suseconds_t) (left.count() % 1000 * 1000) };

    if (connection >= 0
        && setsockopt (connection, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof (timeout)) == 0
        && connect (connection, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) == 0)
        return connection;

    if (connection >= 0)
        close (connection);

    return -1;
}

Reply handOverAt (const std::string& socketPath, const juce::String& text, HandOverProtocol::Deadline deadline)
{
    const int connection = connectBy (socketPath, deadline);

    if (connection < 0)
        return Reply::unreachable;

    const HandOverProtocol::Header header { HandOverProtocol::magic, (std::uint32_t) text.getNumBytesAsUTF8() };
    char answer = 0;

    const bool answered = HandOverProtocol::sendAll (connection, &header, sizeof (header))
                       && HandOverProtocol::sendAll (connection, text.toRawUTF8(), header.length)
                       && HandOverProtocol::receiveAll (connection, &answer, 1, deadline, -1);
    close (connection);

    if (! answered)
        return Clock::now() < deadline ? Reply::closedUnanswered : Reply::none;

    return answer == HandOverProtocol::windowComesToFront ? Reply::windowComesToFront
         : answer == HandOverProtocol::quitting           ? Reply::quitting
                                                          : Reply::none;
}

// The process that holds the lock, 0 when unknown (or none holds it by now).
pid_t findHolder (int lockDescriptor)
{
    struct flock wholeFile {};
    wholeFile.l_type = F_WRLCK;
    wholeFile.l_whence = SEEK_SET;

    return fcntl (lockDescriptor, F_GETLK, &wholeFile) == 0 && wholeFile.l_type != F_UNLCK ? wholeFile.l_pid : 0;
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
    lockPath = folder + "/" + applicationName.toStdString() + ".lock";
    socketPath = folder + "/" + applicationName.toStdString() + ".socket";
    problem = choice.fault;

    if (problem.empty())
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

// Each instance that holds the lock is asked once it can be reached: while
// one quits, another start may take the lock and run, and this start then
// hands over to it. One that closed the connection unanswered is alive and
// listening, and is asked again.
bool SingleInstance::handOver (const juce::String& commandLine)
{
    const auto text = cutToLimit (commandLine);
    auto reply = handOverAt (socketPath, text, Clock::now() + answerBound);
    auto askedHolder = reply == Reply::unreachable ? 0 : holder;
    const auto end = Clock::now() + releaseBound;

    while (reply != Reply::windowComesToFront && anotherRunning && Clock::now() < end)
    {
        std::this_thread::sleep_for (lockPollInterval);
        anotherRunning = false;
        takeLock();

        if (! anotherRunning || (holder == askedHolder && reply != Reply::closedUnanswered))
            continue;

        if (const auto latest = handOverAt (socketPath, text, std::min (Clock::now() + answerBound, end));
            latest != Reply::unreachable)
        {
            reply = latest;
            askedHolder = holder;
        }
    }

    if (anotherRunning && reply != Reply::windowComesToFront)
        problem = "the copy that holds the lock in " + folder
                + (reply == Reply::quitting ? " is quitting but" : " did not answer (it may be busy or stopped) and")
                + " did not end within " + std::to_string (releaseBound.count()) + " s";

    return reply == Reply::windowComesToFront;
}

const std::string& SingleInstance::getProblem() const noexcept
{
    return problem;
}

//==============================================================================
// Another copy's lock shows as EACCES or EAGAIN. Any other failure leaves it
// unknown whether one runs, and a process that cannot tell must not run.
void SingleInstance::takeLock()
{
    const int descriptor = open (lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);

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
    {
        anotherRunning = true;
        holder = findHolder (descriptor);
    }
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
