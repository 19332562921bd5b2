// MainComponent: construction and destruction, the state machine, and the
// events of the widgets and of the controller link.
#include "MainComponent.h"

#include "Loader.h"

#include <cstring>

namespace
{
const juce::Colour progressForeground (61, 61, 61);
const juce::Colour progressBackground (8, 8, 8);

constexpr int progressMirrorIntervalMs = 15;
}

const juce::String MainComponent::updateFileName ("KVX-TN_UP.upd");
const juce::uint8 MainComponent::modelName[7] = { 'K', 'V', 'X', '-', 'T', 'N', ' ' };

//==============================================================================
MainComponent::MainComponent()
    : juce::Thread ("MainComponent")
{
    TxtLoader::createInstance();
    ImageLoader::createInstance();

    createLanguageMenu();
    createProgressBar();
    m_okButton = createButton ("OK");
    m_cancelButton = createButton ("Cancel");

    checkUpdateFile();

    m_hid = new HidCtrl();
    m_hid->initialize (this, m_updValid);

    setSize (400, 150);
}

MainComponent::~MainComponent()
{
    // A quit that did not come through quitSequence (the platform's quit request)
    // must not delete anything the update thread still uses.
    if (isThreadRunning())
        stopUpdateThread();

    m_progressMirror.setActive (false);

    delete m_langs;           m_langs = nullptr;
    delete m_progressBar;     m_progressBar = nullptr;
    delete m_okButton;        m_okButton = nullptr;
    delete m_cancelButton;    m_cancelButton = nullptr;
    delete m_langLook;        m_langLook = nullptr;
    delete m_progressLook;    m_progressLook = nullptr;

    m_hid->finalize();
    delete m_hid;
    m_hid = nullptr;

    ImageLoader::releaseInstance();
    TxtLoader::releaseInstance();
}

void MainComponent::createLanguageMenu()
{
    m_langLook = new LangLookAndFeel();
    m_langs = new juce::ComboBox ("langs");
    addAndMakeVisible (m_langs);
    m_langs->setLookAndFeel (m_langLook);
    m_langs->addListener (this);
    m_langs->setWantsKeyboardFocus (false);

    auto* texts = TxtLoader::getInstance();

    for (juce::uint32 i = 0; i < numLanguages; ++i)
        if (texts->isLocale (i))
            m_langs->addItem (texts->getLang (i), (int) i + 1);

    m_langs->setSelectedId ((int) texts->getLocale() + 1, juce::dontSendNotification);
}

void MainComponent::createProgressBar()
{
    m_progressLook = new ProgressLookAndFeel();
    m_progressBar = new juce::ProgressBar (m_progressShown);
    addAndMakeVisible (m_progressBar);
    m_progressBar->setLookAndFeel (m_progressLook);
    m_progressBar->setColour (juce::ProgressBar::foregroundColourId, progressForeground);
    m_progressBar->setColour (juce::ProgressBar::backgroundColourId, progressBackground);
}

VozadButton* MainComponent::createButton (const juce::String& name)
{
    auto* button = new VozadButton (name);
    addAndMakeVisible (button);
    button->addListener (this);
    button->setStyle (juce::Font::bold);
    button->setColour (juce::TextButton::buttonColourId, BackgroundColour);
    button->setColour (juce::TextButton::buttonOnColourId, BackgroundColour);
    return button;
}

void MainComponent::checkUpdateFile()
{
    int version = -1;
    const int size = checkUPD (updateFileName, modelName, &version);

    if (version < 1 || size < 1)
    {
        m_updValid = 0;
        m_updVersion = -1;
        m_updSize = 0;
        return;
    }

    m_updValid = 1;
    m_updVersion = version;
    m_updSize = size;
}

//==============================================================================
void MainComponent::updateSequence (int state)
{
    // Without a valid update file only the first step out of the language screen happens.
    if (m_sequence != SeqLanguage && m_updValid == 0)
        return;

    if (m_sequence == SeqComplete || m_sequence == SeqError)
        return;

    m_sequence = state;
    updateCtrl();
}

void MainComponent::handleAsyncUpdate()
{
    // On the language screen a request is held, not shown.
    if (m_sequence <= SeqLanguage)
        return;

    const juce::ScopedLock sl (m_lock);

    if (m_request != -1)
    {
        updateSequence (m_request);
        m_request = -1;
    }
}

void MainComponent::postRequest (int state)
{
    const juce::ScopedLock sl (m_lock);
    m_request = state;
    triggerAsyncUpdate();
}

bool MainComponent::isUpdateInProgress() const
{
    const juce::ScopedLock sl (m_lock);

    // Only the update thread posts these, so the update runs until the message
    // thread has applied its final request.
    return m_sequence == SeqUpdating
        || m_request == SeqUpdating || m_request == SeqComplete || m_request == SeqError;
}

//==============================================================================
void MainComponent::buttonClicked (juce::Button* button)
{
    if (button == m_okButton)
    {
        if (m_sequence == SeqLanguage)
            pressOkOnLanguageScreen();
        else if (m_sequence == SeqReady && m_updValid == 1)
            startUpdate();
        else
            quitSequence();
    }
    else if (button == m_cancelButton)
    {
        quitSequence();
    }
}

void MainComponent::pressOkOnLanguageScreen()
{
    // Decided by the link's state now, not by a request held meanwhile.
    if (m_hid->getState() != HidNone)
    {
        m_ctrlVersion = m_hid->getVersion();
        updateSequence (SeqReady);
    }
    else
    {
        m_ctrlVersion = -1;
        updateSequence (SeqNotFound);
    }
}

void MainComponent::startUpdate()
{
    // A second press before the updating screen shows, or once a finished update's
    // final request waits for delivery, must not start another update.
    if (isThreadRunning() || isUpdateInProgress())
        return;

    // A signal from before the update must not count as a reply, nor as an abort.
    {
        const juce::ScopedLock sl (m_lock);
        m_waitAborted = false;
    }

    m_event.reset();
    startThread();
}

void MainComponent::comboBoxChanged (juce::ComboBox* box)
{
    if (box != m_langs)
        return;

    auto* texts = TxtLoader::getInstance();
    const int index = m_langs->getSelectedId() - 1;

    if (index >= 0 && index < (int) numLanguages && (juce::uint32) index != texts->getLocale())
        texts->setLocale ((juce::uint32) index);

    updateCtrl();
}

//==============================================================================
void MainComponent::quitSequence()
{
    stopUpdateThread();

    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
}

void MainComponent::stopUpdateThread()
{
    // The thread never asks whether it should exit: it sees reply code 0, which no
    // step accepts, and leaves through its own failure path.
    handOverToUpdateThread (true);
    stopThread (-1);
}

void MainComponent::handOverToUpdateThread (bool clearResponse)
{
    {
        const juce::ScopedLock sl (m_lock);

        if (clearResponse)
        {
            juce::zeromem (m_response, sizeof (m_response));
            m_waitAborted = true;
        }
    }

    m_event.signal();
}

//==============================================================================
void MainComponent::removalCallBack()
{
    m_ctrlVersion = -1;

    const juce::ScopedLock sl (m_lock);

    if (isUpdateInProgress())
        handOverToUpdateThread (true);
    else
        postRequest (SeqNotFound);
}

void MainComponent::matchingCallBack()
{
    m_ctrlVersion = m_hid->getVersion();

    const juce::ScopedLock sl (m_lock);

    if (isUpdateInProgress())
        handOverToUpdateThread (true);
    else
        postRequest (SeqReady);
}

void MainComponent::inputCallBack()
{
    const auto* data = m_hid->getData();
    const auto length = juce::jmin (m_hid->getLength(), (unsigned int) sizeof (m_response));

    if (data == nullptr || length == 0)
        return;

    bool updating = false;

    {
        const juce::ScopedLock sl (m_lock);
        std::memcpy (m_response, data, length);
        updating = isUpdateInProgress();
    }

    // Handed over once m_lock is let go: the woken update thread takes m_lock at
    // once, and would otherwise sleep again until this thread released it.
    if (updating)
        handOverToUpdateThread (false);
}

//==============================================================================
MainComponent::ProgressMirror::ProgressMirror (const std::atomic<double>& sourceToCopy, double& shownValue)
    : source (sourceToCopy), shown (shownValue)
{
}

void MainComponent::ProgressMirror::setActive (bool shouldBeActive)
{
    if (shouldBeActive)
    {
        timerCallback();
        startTimer (progressMirrorIntervalMs);
    }
    else
    {
        stopTimer();
    }
}

void MainComponent::ProgressMirror::timerCallback()
{
    shown = source.load();
}
