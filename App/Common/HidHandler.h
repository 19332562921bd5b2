#pragma once

//==============================================================================
/**
    Receives the controller link's events.

    Each call comes on the message thread, after the link has updated what its
    getters return, so a handler reads the new state, version or report at once.
    Handlers are never deleted through this interface.
*/
class HidHandler
{
public:
    /** The held controller was removed. */
    virtual void removalCallBack() = 0;

    /** A matching controller was attached after the link started. */
    virtual void matchingCallBack() = 0;

    /** The controller sent an input report. */
    virtual void inputCallBack() = 0;

protected:
    ~HidHandler() = default;
};
