// The program's entry, the application object and the main window.
#include "MainComponent.h"

#include "Loader.h"

#if JUCE_LINUX
 #include "ControllerAccess.h"
 #include "DescriptorTurns.h"
 #include "FontCollections.h"
 #include "FontLookAndFeel.h"
 #include "QuitSignals.h"
 #include "RunLoopBridge.h"
 #include "SingleInstance.h"
 #include "Utf8Arguments.h"
 #include "Utf8Environment.h"
#endif

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

//==============================================================================
/** The one top-level window: always on top, centred, not resizable, with the
    platform's title bar and no buttons on it; its content is the MainComponent.
*/
class MainWindow  : public juce::ResizableWindow
{
public:
    MainWindow()
        : juce::ResizableWindow ("KVXUpdateProgram", true)
    {
        m_mainComponent = new MainComponent();
        setContentOwned (m_mainComponent, true);
        centreWithSize (getWidth(), getHeight());
        setAlwaysOnTop (true);
        setVisible (true);
        setUsingNativeTitleBar (true);
    }

    ~MainWindow() override = default;

    // Until the native title bar is on, the window draws its own 3-pixel frame,
    // so that the content's 400 x 150 become a window of 406 x 156.
    juce::BorderSize<int> getBorderThickness() override
    {
        return isUsingNativeTitleBar() ? juce::BorderSize<int>() : juce::BorderSize<int> (frameThickness);
    }

private:
    static constexpr int frameThickness = 3;

    MainComponent* m_mainComponent = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};

//==============================================================================
class Application  : public juce::JUCEApplication
{
public:
    Application() = default;

    void initialise (const juce::String&) override
    {
       #if JUCE_LINUX
        // Before the window, whose controller link opens the controller.
        setControllerAccessHint();

        // Before the window: its controller link schedules callbacks on this
        // thread's run loop, and a quit request may come at any time.
        m_runLoopBridge = std::make_unique<RunLoopBridge>();
        m_quitSignals = std::make_unique<QuitSignals>();
        FontCollections::removeEarlierCopies();
        // The language table's typefaces do not exist here: every text asks
        // this look for installed faces that cover its script, all of them
        // from fontconfig. JUCE's own list of fonts, a scan of every file in
        // its font folders, is never made; should anything ask for it, it
        // finds no folder to scan.
        setenv ("JUCE_FONT_PATH", "/nonexistent", 1);
        makeDesktop();
        m_quitSignals->passToMessageLoop();
        m_fonts = FontLookAndFeel::installAsDefault();

        if (quitsForWantOfDisplay())
            return;
       #endif

        m_mainWindow = new MainWindow();
    }

    void shutdown() override
    {
        // JUCE calls this also in a second instance that never initialised.
        delete m_mainWindow;
        m_mainWindow = nullptr;

       #if JUCE_LINUX
        m_fonts.reset();
        FontCollections::closeFaces();
        m_quitSignals.reset();
        m_runLoopBridge.reset();
       #endif
    }

    const juce::String getApplicationName() override       { return "KVXUpdateProgram"; }
    const juce::String getApplicationVersion() override    { return "0.0.0.1"; }
    // On Linux, main's SingleInstance has turned a second start away before
    // JUCE starts; JUCE's own lock there is one for the whole machine, and would
    // turn away another user's or another session's instance too.
    bool moreThanOneInstanceAllowed() override
    {
       #if JUCE_LINUX
        return true;
       #else
        return false;
       #endif
    }

    void anotherInstanceStarted (const juce::String&) override
    {
        if (m_mainWindow != nullptr && m_mainWindow->isVisible())
            m_mainWindow->toFront (true);
    }

private:
   #if JUCE_LINUX
    // JUCE's Desktop forks a child to ask gsettings about dark mode, and closes
    // one of its descriptors twice as it destroys it: no other thread of ours
    // may open or close one meanwhile, nor be inside a file call at the fork.
    // Connecting to the display needs no turn, so it comes first: asking about
    // semi-transparent windows is JUCE's one way to connect without making the
    // Desktop.
    static void makeDesktop()
    {
        juce::Desktop::canUseSemiTransparentWindows();
        const ScopedChildProcessTurn turn;
        juce::Desktop::getInstance();
    }

    // JUCE makes a window without a display, and crashes doing it: the start
    // says so instead, and ends with status 1.
    bool quitsForWantOfDisplay()
    {
        if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr)
            return false;

        std::cerr << "KVXUpdateProgram cannot start: " << describeMissingDisplay() << "." << std::endl;
        TxtLoader::releaseInstance();
        setApplicationReturnValue (1);
        quit();
        return true;
    }

    // JUCE connects to the display that DISPLAY names; with DISPLAY unset or
    // empty, to ":0.0". The value is printed as it stands: it need not be UTF-8.
    static std::string describeMissingDisplay()
    {
        const char* display = std::getenv ("DISPLAY");

        if (display == nullptr)
            return "DISPLAY is not set, and the display \":0.0\" cannot be opened";

        if (*display == 0)
            return "DISPLAY is empty, and the display \":0.0\" cannot be opened";

        return std::string ("the display \"") + display + "\" that DISPLAY names cannot be opened";
    }
   #endif

    MainWindow* m_mainWindow = nullptr;

   #if JUCE_LINUX
    std::unique_ptr<RunLoopBridge> m_runLoopBridge;
    std::unique_ptr<QuitSignals> m_quitSignals;
    std::unique_ptr<FontLookAndFeel> m_fonts;
   #endif

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Application)
};

//==============================================================================
static juce::JUCEApplicationBase* createApplication()
{
    return new Application();
}

#if JUCE_LINUX
// A start that does not run says why, and ends with the status returned. It
// succeeds only when a running instance answered that its window comes to the
// front.
static std::optional<int> findExitStatusWithoutRunning (SingleInstance& singleInstance, const Utf8Arguments& arguments)
{
    if (singleInstance.isAnotherInstanceRunning() && singleInstance.handOver (arguments.join()))
    {
        std::cerr << "KVXUpdateProgram is already running; its window comes to the front." << std::endl;
        return 0;
    }

    if (singleInstance.getProblem().empty())
        return {};

    std::cerr << "KVXUpdateProgram cannot start: " << singleInstance.getProblem() << "." << std::endl;
    return 1;
}
#endif

int main (int argc, char* argv[])
{
    // Before the message manager is made: it sets itself up for a program that
    // has an application.
    juce::JUCEApplicationBase::createInstance = &createApplication;

   #if JUCE_LINUX
    QuitSignals::noteThoseIgnoredAtStart();
    Utf8Arguments arguments (argc, argv);
    Utf8Environment::dropValuesJuceCannotDecode (std::cerr);

    // The hand-over listener posts to the message manager from its own thread
    // and asks it whether the loop has been told to stop: made here, before the
    // listener and not inside JUCE's main, the manager outlives it.
    QuitSignals::holdBackUntilRestored();
    juce::ScopedJuceInitialiser_GUI messageManager;
    // JUCE's SIGINT handler would keep Ctrl-C from ending a start that waits
    // for another instance, or that never gets as far as its window.
    QuitSignals::restoreThoseAtStart();
    SingleInstance singleInstance ("KVXUpdateProgram");

    if (const auto exitStatus = findExitStatusWithoutRunning (singleInstance, arguments))
        return *exitStatus;

    return juce::JUCEApplicationBase::main (arguments.getCount(), arguments.getValues());
   #else
    return juce::JUCEApplicationBase::main (argc, const_cast<const char**> (argv));
   #endif
}
