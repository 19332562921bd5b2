#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/**
    Linux only: the folder where the user's one instance keeps its lock and its
    pipe. It must belong to the user and be closed to everyone else, or another
    user could take the lock first, hold it, or read the pipe.

    That is the session's XDG_RUNTIME_DIR when it is such a folder; otherwise a
    private folder of the user's own, <applicationName>-<uid>, in $TMPDIR (when
    it is an absolute path) or /tmp, made with mode 0700 and refused when it
    exists in any other form, as tmux and ssh-agent do with theirs.
*/
namespace InstanceFolder
{
    struct Choice
    {
        juce::File folder;
        /** Why the folder may not be used, naming it; empty when it may. */
        juce::String fault;
    };

    Choice choose (const juce::String& applicationName);
}
