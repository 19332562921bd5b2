#pragma once

//==============================================================================
/**
    Linux only: the platform's quit request is SIGINT, SIGTERM or SIGHUP (the
    terminal that started the program has closed). While this object lives,
    each of them that the starter did not ignore (nohup ignores SIGHUP) reaches
    JUCEApplicationBase::systemRequestedQuit on the message thread, through a
    pipe that JUCE's message loop watches, so that the application shuts down
    in its usual order.

    Until passToMessageLoop, a signal ends the process at once, as it would
    without a handler: the start may be held up where nothing serves the
    request (by a display that never answers, say).

    Create it on the message thread once the message manager exists (JUCE
    installs its own SIGINT handler then, which this replaces); destroying it
    restores the default actions of the signals it handled.
*/
class QuitSignals
{
public:
    /** Notes which of the signals the starter ignores. Call it first in main:
        once JUCE has installed its SIGINT handler, an ignored SIGINT no longer
        shows.
    */
    static void noteThoseIgnoredAtStart();

    /** Blocks the signals until restoreThoseAtStart. Call it just before the
        message manager is made: JUCE's SIGINT handler, installed then, would
        swallow a SIGINT, or end the program on one that the starter ignores.
    */
    static void holdBackUntilRestored();

    /** Gives the signals back the actions they had at start, once the message
        manager exists, and lets them through: JUCE's SIGINT handler would keep
        Ctrl-C from ending a start that waits for another instance, or one that
        has not yet made its window; a signal ignored at start stays ignored.
    */
    static void restoreThoseAtStart();

    /** True once one of the handled signals has arrived, even before the
        message thread has seen it: a quit that has begun. Any thread may ask.
    */
    static bool hasOneArrived() noexcept;

    QuitSignals();
    ~QuitSignals();

    /** From now on a signal reaches the message loop. Call it once nothing can
        hold the start up any more (the display is connected and the Desktop
        made): the start then reaches the loop in bounded time, and quits in
        its usual order even right after its window shows.
    */
    void passToMessageLoop();

private:
    static void handleSignal (int signalNumber);
    static void requestQuit (int descriptor);

    QuitSignals (const QuitSignals&) = delete;
    QuitSignals& operator= (const QuitSignals&) = delete;
};
