#include "InstanceFolder.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Why a folder may not hold the lock and the socket; empty when it may.
juce::String findFault (const struct stat& info, mode_t forbiddenModes)
{
    if (! S_ISDIR (info.st_mode))
        return "is a link or no folder";

    if (info.st_uid != geteuid())
        return "belongs to another user";

    if ((info.st_mode & forbiddenModes) != 0)
        return juce::String::formatted ("is open to other users (mode %o)", (unsigned) (info.st_mode & 07777));

    return {};
}

// The session's choice of folder, so a link to it is followed; what counts is
// the folder it leads to.
bool isFitRuntimeFolder (const juce::String& path)
{
    struct stat info {};

    return juce::File::isAbsolutePath (path)
        && stat (path.toRawUTF8(), &info) == 0
        && findFault (info, S_IWGRP | S_IWOTH).isEmpty();
}

juce::File getPrivateFolder (const juce::String& applicationName)
{
    const auto temporary = juce::SystemStats::getEnvironmentVariable ("TMPDIR", {});
    const juce::File parent (juce::File::isAbsolutePath (temporary) ? temporary : juce::String ("/tmp"));

    return parent.getChildFile (applicationName + "-" + juce::String ((juce::int64) geteuid()));
}

// The folder's name is known to every user of a shared temporary folder, so
// anyone may have put something there first: only a folder that this user made
// for no one else is taken, never a link.
juce::String makePrivateFolder (const juce::File& folder)
{
    const auto path = folder.getFullPathName();

    if (mkdir (path.toRawUTF8(), S_IRWXU) != 0 && errno != EEXIST)
        return InstanceFolder::describeFailure ("cannot make the lock folder", path);

    struct stat info {};

    if (lstat (path.toRawUTF8(), &info) != 0)
        return InstanceFolder::describeFailure ("cannot examine the lock folder", path);

    const auto fault = findFault (info, S_IRWXG | S_IRWXO);

    if (fault.isEmpty())
        return {};

    // In a sticky /tmp only the entry's owner or the administrator may remove it.
    const auto remedy = info.st_uid == geteuid()
                          ? "remove it, or set TMPDIR to a folder of your own"
                          : "set TMPDIR to a folder of your own, or ask the administrator to remove it";

    return "the lock folder " + path + " " + fault + "; " + remedy;
}

// The user's own runtime folder, made by the system at login, whatever the
// environment of this start says.
juce::String getUsersRuntimeFolder()
{
    const auto root = juce::SystemStats::getEnvironmentVariable ("KVX_RUNTIME_ROOT", "/run/user");
    return root + "/" + juce::String ((juce::int64) geteuid());
}
}

//==============================================================================
InstanceFolder::Choice InstanceFolder::choose (const juce::String& applicationName)
{
    const juce::String runtimeFolders[] = { getUsersRuntimeFolder(),
                                            juce::SystemStats::getEnvironmentVariable ("XDG_RUNTIME_DIR", {}) };

    for (const auto& runtimeFolder : runtimeFolders)
        if (isFitRuntimeFolder (runtimeFolder))
            return { juce::File (runtimeFolder), {} };

    const auto folder = getPrivateFolder (applicationName);
    return { folder, makePrivateFolder (folder) };
}

// errno first: building the message may change it.
juce::String InstanceFolder::describeFailure (const char* failure, const juce::String& path)
{
    const juce::String reason (std::strerror (errno));
    return juce::String (failure) + " " + path + ": " + reason;
}
