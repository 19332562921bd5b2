#include "HidCtrl.h"

#include "HidUtil.h"

#include <cstring>

HidCtrl::HidCtrl() = default;

HidCtrl::~HidCtrl()
{
    finalize();
}

//==============================================================================
bool HidCtrl::initialize (HidHandler* handler, int typeIndex)
{
    m_handler = handler;
    m_util = std::make_unique<HidUtil>();
    forgetController();

    if (! m_util->initialize (this, typeIndex))
    {
        finalize();
        return false;
    }

    if (deviceMatching())
    {
        m_state = HidAttached;
        m_version = deviceVersion();
        m_length = deviceInput (m_data, dataSize);
    }

    return true;
}

void HidCtrl::finalize()
{
    m_handler = nullptr;

    if (m_util != nullptr)
    {
        m_util->finalize();
        m_util.reset();
    }
}

bool HidCtrl::setData (uint8_t* data, unsigned int length)
{
    if (m_util == nullptr)
        return false;

    // One step from "held" to HidSent, so that a removal landing between the
    // test and the write is never undone.
    int state = m_state.load();

    do
    {
        if (state == HidNone)
            return false;
    }
    while (! m_state.compare_exchange_weak (state, HidSent));

    return deviceOutput (data, length);
}

int HidCtrl::getState()             { return m_state.load(); }
int HidCtrl::getVersion()           { return m_version; }
uint8_t* HidCtrl::getData()         { return m_data; }
unsigned int HidCtrl::getLength()   { return m_length; }

//==============================================================================
void HidCtrl::removalCallBack()
{
    forgetController();

    if (m_handler != nullptr)
        m_handler->removalCallBack();
}

void HidCtrl::matchingCallBack()
{
    m_state = HidAttached;
    m_version = deviceVersion();
    m_length = deviceInput (m_data, dataSize);

    if (m_handler != nullptr)
        m_handler->matchingCallBack();
}

void HidCtrl::inputCallBack()
{
    uint8_t report[dataSize] = {};
    const unsigned int length = deviceInput (report, dataSize);

    std::memcpy (m_data, report, length);
    m_length = length;

    if (m_handler != nullptr)
        m_handler->inputCallBack();
}

//==============================================================================
bool HidCtrl::deviceMatching()
{
    return m_util->deviceMatching();
}

int HidCtrl::deviceVersion()
{
    return m_util->deviceVersion();
}

bool HidCtrl::deviceOutput (uint8_t* data, unsigned int length)
{
    return m_util->deviceOutput (data, length);
}

unsigned int HidCtrl::deviceInput (uint8_t* buffer, unsigned int length)
{
    if (buffer == nullptr || length == 0)
        return 0;

    std::memset (buffer, 0, length);
    return m_util->deviceInput (buffer, length);
}

void HidCtrl::forgetController()
{
    m_state = HidNone;
    m_version = 0;
    std::memset (m_data, 0, sizeof (m_data));
    m_length = 0;
}
