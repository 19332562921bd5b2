#include "SingleInstance.h"

#include "HandOverProtocol.h"
#include "InstanceFolder.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;
using Reply = HandOverRequest::Reply;

// Longer than the running instance's own bounds for reading a start and for
// waiting on its message thread, so that its answer is heard: each instance
// asked has at least this long to answer.
constexpr auto answerBound = std::chrono::seconds (8);

// And this much more for a quitting instance to end: a quit during an update
// waits up to 10 s for the controller's last reply.
constexpr auto releaseBound = std::chrono::seconds (12);
constexpr auto lockPollInterval = std::chrono::milliseconds (50);

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

// The start keeps its one connection while it waits, and takes whichever comes
// first: the answer, or the lock coming free. An instance that answers that it
// is quitting has the release bound from then on to end. While one instance
// quits, another start may take the lock and run: this start then hands over
// to that one, with the whole answer bound. One that closed the connection
// unanswered is alive and listening, or has ended, and is asked again.
bool SingleInstance::handOver (const juce::String& commandLine)
{
    const auto text = cutToLimit (commandLine);
    auto waitedFrom = Clock::now();
    auto end = waitedFrom + answerBound + releaseBound;
    auto reply = Reply::closedUnanswered;
    auto askedHolder = holder;
    std::unique_ptr<HandOverRequest> request;

    while (anotherRunning && Clock::now() < end)
    {
        const bool isNewHolder = holder != 0 && holder != askedHolder;

        if (request == nullptr && (reply == Reply::closedUnanswered || isNewHolder))
        {
            if (isNewHolder)
                end = std::max (end, Clock::now() + answerBound);

            request = ask (text, end);
            askedHolder = holder;
            reply = request != nullptr ? Reply::pending : Reply::closedUnanswered;
        }

        const auto latest = awaitReply (request, reply, std::min (Clock::now() + lockPollInterval, end));

        if (latest == Reply::quitting && reply != Reply::quitting)
        {
            waitedFrom = Clock::now();
            end = std::min (end, waitedFrom + releaseBound);
        }

        if ((reply = latest) == Reply::windowComesToFront)
            break;

        anotherRunning = false;
        takeLock();
    }

    if (anotherRunning && reply != Reply::windowComesToFront)
    {
        const auto waited = std::chrono::round<std::chrono::seconds> (end - waitedFrom);
        problem = "the copy that holds the lock in " + folder
                + (reply == Reply::quitting ? " is quitting but" : " did not answer (it may be busy or stopped) and")
                + " did not end within " + std::to_string (waited.count()) + " s";
    }

    return reply == Reply::windowComesToFront;
}

const std::string& SingleInstance::getProblem() const noexcept
{
    return problem;
}

//==============================================================================
// Null when the instance cannot be reached (it has not begun to listen, or has
// stopped).
std::unique_ptr<HandOverRequest> SingleInstance::ask (const juce::String& text, Clock::time_point deadline) const
{
    auto request = std::make_unique<HandOverRequest> (socketPath, text, deadline);
    return request->isSent() ? std::move (request) : nullptr;
}

// The reply by the time given; a request that has its reply is done with.
HandOverRequest::Reply SingleInstance::awaitReply (std::unique_ptr<HandOverRequest>& request, Reply reply,
                                                   Clock::time_point until)
{
    if (request == nullptr)
    {
        std::this_thread::sleep_until (until);
        return reply;
    }

    reply = request->waitForReply (until);

    if (reply != Reply::pending)
        request.reset();

    return reply;
}

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
