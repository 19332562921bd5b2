#pragma once

#include <juce_core/juce_core.h>

#include <string>

//==============================================================================
/**
    Linux only: the folder where the user's one instance keeps its lock and its
    socket. It must belong to the user and be closed to everyone else, or another
    user could take the lock first, hold it, or talk to the instance.

    All of one user's starts must meet in the same folder, whichever session,
    shell or service starts them: so it is the user's own runtime folder,
    /run/user/<uid>, whenever that is such a folder; else the session's
    XDG_RUNTIME_DIR when it is one; otherwise a private folder of the user's
    own, <applicationName>-<uid>, in $TMPDIR (when it is an absolute path) or
    /tmp, made with mode 0700 and refused when it exists in any other form, as
    tmux and ssh-agent do with theirs.

    KVX_RUNTIME_ROOT, when set, replaces /run/user: a test or a benchmark that
    starts the program gives it a root of its own, so that it meets neither the
    user's running copy nor the copies of tests that run beside it.

    Paths are kept as the bytes the environment gives, end to end: a folder's
    name need not be UTF-8, and JUCE cannot decode every other name.
*/
namespace InstanceFolder
{
    struct Choice
    {
        /** Absolute, without a trailing slash. */
        std::string folder;
        /** Why the folder may not be used, naming it; empty when it may. */
        std::string fault;
    };

    Choice choose (const juce::String& applicationName);

    /** "<failure> <path>: <the reason errno gives>", for a call on a path of the
        folder that has just failed.
    */
    std::string describeFailure (const char* failure, const std::string& path);
}
