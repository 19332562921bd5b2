// MainComponent as the tests see it: its protected parts made reachable.
#pragma once

#include "MainComponent.h"

namespace uitest
{

class MainComponentProbe : public MainComponent
{
public:
    using MainComponent::checkUPD;
    using MainComponent::getSequence;
    using MainComponent::getProgress;
    using MainComponent::getControllerVersion;
    using MainComponent::isUpdateFileValid;
    using MainComponent::getSectionSize;
    using MainComponent::getSectionCrc;
    using MainComponent::isSectionMarked;
    using MainComponent::getOkButton;
    using MainComponent::getCancelButton;
    using MainComponent::getLanguageMenu;
    using MainComponent::getProgressBar;
    using MainComponent::getGlyphs;
    using MainComponent::modelName;
    using MainComponent::updateFileName;

    using MainComponent::UpdateWaits;
    using MainComponent::threadWaits;

    // The update's waits: their lengths, shortened for tests that expect a
    // time-out, and how they are waited. A length set while the update thread
    // waits counts from its next wait on. Restore them only once no component's
    // thread can still wait on them.
    static void setTimeouts(int replyMs, int dataBlockMs) { m_timeouts = { replyMs, dataBlockMs }; }
    static void setWaits(UpdateWaits waits) { m_waits = waits; }
    static void restoreWaits()
    {
        m_timeouts = controllerTimeouts;
        m_waits = threadWaits;
    }
};

} // namespace uitest
