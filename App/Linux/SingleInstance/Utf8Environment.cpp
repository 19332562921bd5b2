#include "Utf8Environment.h"

#include "Utf8Text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace
{
// Debian's home for accounts that have none; it must never exist.
const char* const noHome = "/nonexistent";

// The home JUCE would take: HOME, else the account's.
const char* findHome()
{
    if (const char* home = std::getenv ("HOME"))
        return home;

    const auto* account = getpwuid (getuid());
    return account != nullptr ? account->pw_dir : nullptr;
}

// The value is printed as it stands, so that the user can tell which it is.
void replaceHomeUnlessUtf8 (std::ostream& messages)
{
    const char* home = findHome();

    if (home == nullptr || Utf8Text::isValid (home))
        return;

    messages << "KVXUpdateProgram: the home folder \"" << home << "\" is not named in UTF-8;"
             << " no preferences or fonts are read from it." << std::endl;
    setenv ("HOME", noHome, 1);
}

// Whatever its length: JUCE's own read grows its buffer until the name fits.
// Empty when it cannot be read, as when the folder has been removed.
std::vector<char> readWorkingFolder()
{
    std::vector<char> folder (PATH_MAX);

    while (getcwd (folder.data(), folder.size()) == nullptr)
    {
        if (errno != ERANGE)
            return {};

        folder.resize (folder.size() * 2);
    }

    return folder;
}

// JUCE decodes the working folder's name wherever it resolves a path, its font
// scan too; the program opens nothing by a relative path.
void workFromRootUnlessUtf8 (std::ostream& messages)
{
    const auto folder = readWorkingFolder();

    if (folder.empty() || Utf8Text::isValid (folder.data()))
        return;

    messages << "KVXUpdateProgram: the working folder \"" << folder.data() << "\" is not named in UTF-8;"
             << " the program works from /." << std::endl;
    [[maybe_unused]] const auto changed = chdir ("/");
}

void dropUnlessUtf8 (const char* name, std::ostream& messages)
{
    const char* value = std::getenv (name);

    if (value == nullptr || Utf8Text::isValid (value))
        return;

    messages << "KVXUpdateProgram: " << name << " (\"" << value << "\") is not UTF-8, and is ignored." << std::endl;
    unsetenv (name);
}
}

//==============================================================================
void Utf8Environment::dropValuesJuceCannotDecode (std::ostream& messages)
{
    replaceHomeUnlessUtf8 (messages);
    workFromRootUnlessUtf8 (messages);

    for (const char* name : { "JUCE_FONT_PATH", "XDG_DATA_HOME", "FONTCONFIG_FILE", "XDG_CACHE_HOME" })
        dropUnlessUtf8 (name, messages);
}
