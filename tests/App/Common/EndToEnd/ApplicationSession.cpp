#include "ApplicationSession.h"

#include "Support/Desktop/ApplicationEnvironment.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace kvxtest
{

namespace
{

// Bounds that only keep a broken program from hanging the test; nothing is
// timed. A screen may wait for one of the update's 10-second time-outs.
constexpr auto windowBound = std::chrono::seconds(60);
constexpr auto screenBound = std::chrono::seconds(60);

const char* const executableName = "KVXUpdateProgram";
const char* const updateFileName = "KVX-TN_UP.upd";
const char* const englishTitle = "^Updater Program$";

// The buttons' centres in the right and the left slot of the 406 x 156 window,
// and the language menu's.
constexpr int buttonY = 126;
constexpr int rightButtonX = 336;
constexpr int leftButtonX = 226;
constexpr int menuX = 203;
constexpr int menuY = 86;

// The menu's pop-up lists the twelve languages inside a border of 2 pixels.
constexpr int numLanguages = 12;
constexpr int popupBorder = 2;

std::filesystem::path makeFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kvx-end-to-end-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    return made != nullptr ? std::filesystem::path(made) : std::filesystem::path();
}

// Named by its absolute path, a link is what the program may take for its own
// file: this one's folder holds no update file.
std::filesystem::path linkTo(const std::filesystem::path& folder)
{
    return folder / "link" / executableName;
}

// The real executable's folder is named in Latin-1, as an archive may unpack
// it: the program must find its update file whatever bytes the name holds.
std::filesystem::path executableFolderIn(const std::filesystem::path& folder)
{
    return folder / "jos\xe9" "-x\xf0";
}

// A home, a session and a root of users' runtime folders of its own (without
// one for this user), all in the session's folder.
std::vector<std::string> environmentIn(const XvfbServer& x, const std::filesystem::path& folder)
{
    return applicationEnvironment(x, { folder, folder, folder / "runtime-root" });
}

} // namespace

//==============================================================================
ApplicationSession::ApplicationSession(const XvfbServer& xServer, const HidrawTestbed& hidrawTestbed,
                                       const std::optional<std::vector<uint8_t>>& updateFile)
    : x(xServer), testbed(hidrawTestbed), folder(makeFolder())
{
    if (folder.empty())
        return;

    std::filesystem::create_directory(executableFolderIn(folder));
    const auto executable = executableFolderIn(folder) / executableName;
    std::filesystem::copy_file(KVX_APPLICATION_PATH, executable);

    if (updateFile)
    {
        std::ofstream file(executableFolderIn(folder) / updateFileName, std::ios::binary);
        file.write(reinterpret_cast<const char*>(updateFile->data()), static_cast<std::streamsize>(updateFile->size()));
    }

    std::filesystem::create_directory(linkTo(folder).parent_path());
    std::filesystem::create_symlink(executable, linkTo(folder));

    process = std::make_unique<TestbedProcess>(testbed, std::vector<std::string> { linkTo(folder).string() },
                                               environmentIn(x, folder));
}

void ApplicationSession::startAgain()
{
    laterStart = std::make_unique<TestbedProcess>(testbed, std::vector<std::string> { linkTo(folder).string() },
                                                  environmentIn(x, folder));
}

ApplicationSession::~ApplicationSession()
{
    laterStart.reset();
    process.reset();

    if (! folder.empty())
        std::filesystem::remove_all(folder);
}

bool ApplicationSession::waitForWindow()
{
    const auto& start = laterStart != nullptr ? laterStart : process;

    if (start == nullptr)
        return false;

    window = x.waitForWindow(englishTitle, start->processId());
    return ! window.empty();
}

bool ApplicationSession::waitForTitle(const std::string& expected) const
{
    const auto end = std::chrono::steady_clock::now() + windowBound;

    while (title() != expected && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    return title() == expected;
}

std::string ApplicationSession::title() const
{
    return x.windowName(window);
}

std::string ApplicationSession::geometry() const
{
    return x.windowGeometry(window);
}

ScreenPicture ApplicationSession::waitForScreen(const std::string& screenName, const std::string& fileName)
{
    const auto end = std::chrono::steady_clock::now() + screenBound;
    ScreenPicture picture = takePicture();

    while (picture.screenName() != screenName && std::chrono::steady_clock::now() < end)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        picture = takePicture();
    }

    if (picture.screenName() == screenName && ! fileName.empty())
        keepLatestAs(fileName);

    return picture;
}

ScreenPicture ApplicationSession::takePicture()
{
    const auto latest = folder / "latest.png";

    if (window.empty() || ! x.saveScreenshot(window, latest.string()))
        return {};

    return ScreenPicture::load(latest.string());
}

void ApplicationSession::keepLatestAs(const std::string& fileName) const
{
    std::filesystem::copy_file(folder / "latest.png", screenshotFolder() / fileName,
                               std::filesystem::copy_options::overwrite_existing);
}

void ApplicationSession::clickRightButton() const
{
    x.click(window, rightButtonX, buttonY);
}

void ApplicationSession::clickLeftButton() const
{
    x.click(window, leftButtonX, buttonY);
}

bool ApplicationSession::chooseLanguage(int index) const
{
    x.click(window, menuX, menuY);

    const auto end = std::chrono::steady_clock::now() + windowBound;
    auto popups = x.findWindows("^menu$");

    for (; popups.empty() && std::chrono::steady_clock::now() < end; popups = x.findWindows("^menu$"))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    int width = 0;
    int height = 0;

    if (popups.empty() || std::sscanf(x.windowGeometry(popups.front()).c_str(), "%dx%d", &width, &height) != 2)
        return false;

    const int itemHeight = (height - 2 * popupBorder) / numLanguages;
    const int itemY = popupBorder + itemHeight * index + itemHeight / 2;

    // The menu takes a click only on the item that it has highlighted, which
    // it does when it next looks where the mouse is: click until it closes.
    while (! x.findWindows("^menu$").empty() && std::chrono::steady_clock::now() < end)
    {
        x.moveMouse(popups.front(), width / 2, itemY);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        x.click(popups.front(), width / 2, itemY);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    return x.findWindows("^menu$").empty();
}

void ApplicationSession::requestQuit(int signalNumber) const
{
    if (process != nullptr)
        process->requestQuit(signalNumber);
}

int ApplicationSession::waitForExit()
{
    return process != nullptr ? process->waitForExit() : -1;
}

std::filesystem::path ApplicationSession::screenshotFolder()
{
    const std::filesystem::path screenshots(KVX_SCREENSHOT_DIR);
    std::filesystem::create_directories(screenshots);
    return screenshots;
}

} // namespace kvxtest
