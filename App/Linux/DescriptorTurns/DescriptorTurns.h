#pragma once

#include <juce_core/juce_core.h>

#include <shared_mutex>

//==============================================================================
/**
    Linux only: turns between our threads that open or close file descriptors
    and the message thread while JUCE forks a child process and reaps it.

    JUCE closes one descriptor of its child twice as it destroys it: a file
    that another thread opens in between loses its descriptor, and the second
    close may then end one that the thread hands to someone else. And under
    umockdev's preload, a fork while another thread is inside a file call
    leaves a child that hangs before it runs its command. JUCE's Desktop makes
    such a child as it is created (it asks gsettings about dark mode).

    Any thread other than the message thread holds a ScopedDescriptorTurn around
    each piece of work that opens or closes descriptors; many hold one at once.
    The message thread holds the ScopedChildProcessTurn, alone, while JUCE makes
    and reaps a child: it waits for the other turns to end, and they wait for it.
    Keep each descriptor turn short, for the message thread waits for it.
*/
class ScopedDescriptorTurn
{
public:
    /** Waits while the message thread makes or reaps a child. */
    ScopedDescriptorTurn();

private:
    std::shared_lock<std::shared_mutex> lock;

    JUCE_DECLARE_NON_COPYABLE (ScopedDescriptorTurn)
};

//==============================================================================
/** See ScopedDescriptorTurn. */
class ScopedChildProcessTurn
{
public:
    /** Waits until no other thread holds a ScopedDescriptorTurn. */
    ScopedChildProcessTurn();

private:
    std::unique_lock<std::shared_mutex> lock;

    JUCE_DECLARE_NON_COPYABLE (ScopedChildProcessTurn)
};
