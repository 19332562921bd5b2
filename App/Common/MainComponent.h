#pragma once

#include "CustomLookAndFeel.h"
#include "HidCtrl.h"
#include "VozadButton.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cstdint>

/** The window's background, and the colour of both buttons. */
inline const juce::Colour BackgroundColour { 0xffeaeaea };

//==============================================================================
/** The screen and sequence states of MainComponent. */
enum SequenceState
{
    SeqLanguage = 0, /**< language choice; the initial state */
    SeqNotFound = 1, /**< the controller is not recognised */
    SeqReady = 2,    /**< controller present: both versions and Start */
    SeqUpdating = 3, /**< update running, progress bar */
    SeqComplete = 4, /**< update complete; final */
    SeqError = 5     /**< an error has occurred; final */
};

//==============================================================================
/**
    The main window's content and the controller of the whole application.

    It checks the update file beside the executable, follows the controller
    through its HidCtrl, shows one screen per SequenceState and, on Start, runs
    the update on its own thread. The update thread and the controller callbacks
    reach the state machine only through a request posted under m_lock and
    applied by handleAsyncUpdate on the message thread; during an update, the
    callbacks hand each reply to the thread through m_event instead.

    Everything but run() belongs to the message thread.
*/
class MainComponent  : public juce::Component,
                       public juce::AsyncUpdater,
                       public juce::Thread,
                       public HidHandler,
                       public juce::ComboBox::Listener,
                       public juce::Button::Listener
{
public:
    MainComponent();
    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void handleAsyncUpdate() override;
    void run() override;
    void comboBoxChanged (juce::ComboBox*) override;
    void buttonClicked (juce::Button*) override;
    void removalCallBack() override;
    void matchingCallBack() override;
    void inputCallBack() override;

    //==============================================================================
    /** Moves to a new state unless the current one is final, and re-words the screen. */
    void updateSequence (int state);

    /** Stops the update thread, waiting for it without a time limit, then asks the
        application to quit.
    */
    void quitSequence();

    //==============================================================================
    /** CRC-16/XMODEM (polynomial 0x1021, initial value 0, not reflected, no final
        XOR) of length bytes; 0 for a length of 0 or less.
    */
    static juce::uint16 calcCRC (juce::uint8 const* data, int length);

    /** The value of one ASCII hexadecimal digit; 0 for any other byte. */
    static juce::uint8 ConvertAsciiToHex (juce::uint8 c);

protected:
    //==============================================================================
    /** How long the update sequence waits. The program never changes them; tests
        shorten them so that a time-out costs less than the controller's allowance,
        or lengthen them so that only a wake-up ends a wait in time.
    */
    struct UpdateTimeouts
    {
        int replyMs;      // every reply but a data block's
        int dataBlockMs;  // a data block's reply
    };

    static UpdateTimeouts m_timeouts;
    static constexpr UpdateTimeouts controllerTimeouts { 10000, 180000 };

    /** How the update thread waits: for a reply on the reply event, and between two
        finish polls on the thread's own event, which a quit signals. Each returns
        true when its event came in time. The program never changes them; tests
        substitute waits that note what the sequence asks for.
    */
    struct UpdateWaits
    {
        bool (*forReply) (const juce::WaitableEvent& reply, int timeoutMs);
        bool (*betweenFinishPolls) (const juce::Thread& updateThread, int pauseMs);
    };

    static UpdateWaits m_waits;
    static const UpdateWaits threadWaits;

    /** Checks the update file name beside the executable: returns its total data
        size (its length less 150), or 0 when it is faulty, and fills in the section
        fields. version, when given, receives the file's version, or -1 when the
        file cannot be read whole.
    */
    int checkUPD (juce::String const& name, juce::uint8 const* model, int* version);

    /** Words and lays out the screen for m_sequence and the current language. */
    void updateCtrl();

    /** The ready screen's instructions from (x, y): step 1 without its number, in
        the given language's argument order.
    */
    void dispHowToStart (float x, float y, int locale, juce::String const& font);

    /** The instructions of the not-recognised and error screens from (x, y): with
        notFound, a bold line saying that the controller is not recognised; then,
        16 below y in either case, step 1 and step 2.
    */
    void dispHowToUpdate (float x, float y, int locale, juce::String const& font, bool notFound);

    juce::GlyphArrangement const& getGlyphs() const noexcept { return m_glyphs; }

    int getSequence() const noexcept                { return m_sequence; }
    double getProgress() const noexcept             { return m_progress.load(); }
    int getControllerVersion() const noexcept       { return m_ctrlVersion; }
    bool isUpdateFileValid() const noexcept         { return m_updValid != 0; }
    juce::uint32 getSectionSize (int s) const noexcept { return m_secSize[s]; }
    juce::uint16 getSectionCrc (int s) const noexcept  { return m_secCrc[s]; }
    bool isSectionMarked (int s) const noexcept        { return m_secSend[s] == 1; }

    VozadButton* getOkButton() const noexcept       { return m_okButton; }
    VozadButton* getCancelButton() const noexcept   { return m_cancelButton; }
    juce::ComboBox* getLanguageMenu() const noexcept { return m_langs; }
    juce::ProgressBar* getProgressBar() const noexcept { return m_progressBar; }

    static const juce::String updateFileName;
    static const juce::uint8 modelName[7];

private:
    //==============================================================================
    /** What the update thread takes out of m_response after a wait. */
    struct Reply
    {
        bool arrived = false;   // false: the wait timed out
        juce::uint8 code = 0;
        juce::uint8 percent = 0;
    };

    /** The bar polls a plain double on the message thread; this copies the update
        thread's atomic m_progress into it at the bar's own rate, so the bar never
        reads a value that is being written.
    */
    class ProgressMirror  : private juce::Timer
    {
    public:
        ProgressMirror (const std::atomic<double>& source, double& shown);
        void setActive (bool shouldBeActive);

    private:
        void timerCallback() override;

        const std::atomic<double>& source;
        double& shown;
    };

    void createLanguageMenu();
    void createProgressBar();
    VozadButton* createButton (const juce::String& name);
    void checkUpdateFile();
    void stopUpdateThread();
    void startUpdate();
    void pressOkOnLanguageScreen();
    void postRequest (int state);
    bool isUpdateInProgress() const;
    void handOverToUpdateThread (bool clearResponse);

    void addTextBlock (const juce::String& text, juce::String const& typeface, bool bold,
                       juce::Rectangle<float> box, int maximumLines);
    void addScreenBlock (const juce::String& text, bool bold, float x, float y);
    void addHeadingAndBody (const juce::String& heading, const juce::String& body);
    float getBottomOfText() const;
    void addScreenTexts();
    void addReadyScreenTexts();
    float addStepOne (const char* step1, float x, float y, int locale, juce::String const& font,
                      int linesWhenButtonsFirst);
    void showButton (VozadButton* button, int stringIndex, juce::Rectangle<int> slot);
    void showWidgets();
    juce::Rectangle<int> getRightSlot() const;
    juce::Rectangle<int> getLeftSlot() const;
    bool showsWarning() const;
    juce::String getModelName() const;

    Reply exchange (juce::uint8* report, int timeoutMs);
    bool sendStart();
    bool sendSections();
    bool sendSection (int s, juce::int64 offset);
    bool readSection (int s, juce::int64 offset, juce::uint8* buffer) const;
    bool sendDataBlocks (int s, const juce::uint8* data);
    bool finishUpdate();

    //==============================================================================
    juce::GlyphArrangement m_glyphs;
    LangLookAndFeel* m_langLook = nullptr;
    juce::ComboBox* m_langs = nullptr;
    ProgressLookAndFeel* m_progressLook = nullptr;
    std::atomic<double> m_progress { 0.0 };
    double m_progressShown = 0.0;
    ProgressMirror m_progressMirror { m_progress, m_progressShown };
    juce::ProgressBar* m_progressBar = nullptr;
    VozadButton* m_okButton = nullptr;
    VozadButton* m_cancelButton = nullptr;
    juce::CriticalSection m_lock;
    juce::WaitableEvent m_event;
    int m_updVersion = -1;
    int m_updValid = 0;
    int m_updSize = 0;
    juce::uint32 m_secSize[3] {};
    juce::uint16 m_secCrc[3] {};
    juce::uint8 m_secSend[3] {};
    int m_ctrlVersion = -1;
    int m_sequence = SeqLanguage;
    int m_request = -1;
    HidCtrl* m_hid = nullptr;
    juce::uint8 m_response[256] {};
    bool m_waitAborted = false;   // an attachment, a removal or a quit woke the update thread; under m_lock
    double m_devicePercent = 0.0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
