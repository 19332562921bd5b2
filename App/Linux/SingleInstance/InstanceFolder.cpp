#include "InstanceFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Why a folder may not hold the lock and the socket; empty when it may.
std::string findFault (const struct stat& info, mode_t forbiddenModes)
{
    if (! S_ISDIR (info.st_mode))
        return "is a link or no folder";

    if (info.st_uid != geteuid())
        return "belongs to another user";

    if ((info.st_mode & forbiddenModes) != 0)
        return juce::String::formatted ("is open to other users (mode %o)", (unsigned) (info.st_mode & 07777)).toStdString();

    return {};
}

bool isAbsolutePath (const std::string& path)
{
    return ! path.empty() && path[0] == '/';
}

// The variable's value, or the fallback when it is unset.
std::string readEnvironment (const char* name, const char* fallback)
{
    const char* value = std::getenv (name);
    return value != nullptr ? value : fallback;
}

// So that the folder's name is the same, however it was written.
std::string withoutTrailingSlashes (std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();

    return path;
}

// The session's choice of folder, so a link to it is followed; what counts is
// the folder it leads to.
bool isFitRuntimeFolder (const std::string& path)
{
    struct stat info {};

    return isAbsolutePath (path)
        && stat (path.c_str(), &info) == 0
        && findFault (info, S_IWGRP | S_IWOTH).empty();
}

std::string getPrivateFolder (const juce::String& applicationName)
{
    const auto temporary = readEnvironment ("TMPDIR", "");
    const auto parent = withoutTrailingSlashes (isAbsolutePath (temporary) ? temporary : "/tmp");

    return parent + "/" + applicationName.toStdString() + "-" + std::to_string (geteuid());
}

// The folder's name is known to every user of a shared temporary folder, so
// anyone may have put something there first: only a folder that this user made
// for no one else is taken, never a link.
std::string makePrivateFolder (const std::string& path)
{
    if (mkdir (path.c_str(), S_IRWXU) != 0 && errno != EEXIST)
        return InstanceFolder::describeFailure ("cannot make the lock folder", path);

    struct stat info {};

    if (lstat (path.c_str(), &info) != 0)
        return InstanceFolder::describeFailure ("cannot examine the lock folder", path);

    const auto fault = findFault (info, S_IRWXG | S_IRWXO);

    if (fault.empty())
        return {};

    // In a sticky /tmp only the entry's owner or the administrator may remove it.
    const auto remedy = info.st_uid == geteuid()
                          ? "remove it, or set TMPDIR to a folder of your own"
                          : "set TMPDIR to a folder of your own, or ask the administrator to remove it";

    return "the lock folder " + path + " " + fault + "; " + remedy;
}

// The user's own runtime folder, made by the system at login, whatever the
// environment of this start says.
std::string getUsersRuntimeFolder()
{
    return readEnvironment ("KVX_RUNTIME_ROOT", "/run/user") + "/" + std::to_string (geteuid());
}
}

//==============================================================================
InstanceFolder::Choice InstanceFolder::choose (const juce::String& applicationName)
{
    const std::string runtimeFolders[] = { getUsersRuntimeFolder(), readEnvironment ("XDG_RUNTIME_DIR", "") };

    for (const auto& runtimeFolder : runtimeFolders)
        if (isFitRuntimeFolder (runtimeFolder))
            return { withoutTrailingSlashes (runtimeFolder), {} };

    const auto folder = getPrivateFolder (applicationName);
    return { folder, makePrivateFolder (folder) };
}

// errno first: building the message may change it.
std::string InstanceFolder::describeFailure (const char* failure, const std::string& path)
{
    const std::string reason (std::strerror (errno));
    return std::string (failure) + " " + path + ": " + reason;
}
