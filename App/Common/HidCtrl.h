#pragma once

#include "HidHandler.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <memory>

class HidUtil;

//==============================================================================
/** The values of HidCtrl::getState(). */
enum HidState
{
    HidNone = 0,     /**< no controller held */
    HidAttached = 1, /**< the controller is attached */
    HidSent = 2      /**< setData has been called since the controller attached */
};

//==============================================================================
/**
    The application's handle on the controller.

    It holds the platform backend, follows the controller's attachment and
    removal, keeps its firmware version and a copy of its last input report, and
    sends output reports. Events reach the application's HidHandler after the
    handle has updated its own fields.

    initialize, finalize, the callbacks and the getters belong to the message
    thread; setData may run on another thread, as long as finalize waits for it.
*/
class HidCtrl : public HidHandler
{
public:
    HidCtrl();

    void removalCallBack() override;
    void matchingCallBack() override;
    void inputCallBack() override;

    virtual ~HidCtrl();

    //==============================================================================
    /** Starts the backend and looks for a controller already attached.

        The type index selects the product identifier to match (see HidDeviceType).
        No handler call is made for a controller found here. Returns false only
        when another backend is live in this process.
    */
    bool initialize (HidHandler* handler, int typeIndex);

    /** Stops and deletes the backend; the state and the copies keep their values.
        Safe to call any number of times.
    */
    void finalize();

    /** Sends one output report with report identifier 0.

        Returns false without sending in HidNone or after finalize. Otherwise the
        state becomes HidSent, whatever the send's result.
    */
    bool setData (uint8_t* data, unsigned int length);

    int getState();
    int getVersion();
    /** The 256-byte copy of the last input report; only its first 64 bytes are ever written. */
    uint8_t* getData();
    unsigned int getLength();

private:
    //==============================================================================
    bool deviceMatching();
    int deviceVersion();
    bool deviceOutput (uint8_t* data, unsigned int length);
    unsigned int deviceInput (uint8_t* buffer, unsigned int length);
    void forgetController();

    static constexpr unsigned int dataSize = 256;

    HidHandler* m_handler = nullptr;
    std::unique_ptr<HidUtil> m_util;
    // Written by the callbacks and by setData on the update thread: a removal
    // must never be overwritten by HidSent.
    std::atomic<int> m_state { HidNone };
    int m_version = 0;
    uint8_t m_data[dataSize] = {};
    uint32_t m_length = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HidCtrl)
};
