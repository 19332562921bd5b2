#include "FontFolders.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <limits>
#include <set>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace
{
    using Folders = std::vector<std::string>;

    // A folder that never exists: JUCE then scans no folder at all.
    const char* const noFolder = "/nonexistent";

    bool isDecodable (const char* name)
    {
        return juce::CharPointer_UTF8::isValidString (name, std::numeric_limits<int>::max());
    }

    // The <dir> folders of the first fonts.conf that JUCE finds.
    juce::StringArray readFontsConfFolders()
    {
        for (auto* path : { "/etc/fonts/fonts.conf", "/usr/share/fonts/fonts.conf",
                            "/usr/local/etc/fonts/fonts.conf", "/usr/share/defaults/fonts/fonts.conf" })
        {
            const auto conf = juce::parseXML (juce::File (path));

            if (conf == nullptr)
                continue;

            juce::StringArray folders;

            for (auto* element : conf->getChildWithTagNameIterator ("dir"))
            {
                auto folder = element->getAllSubText().trim();
                auto dataHome = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_HOME", {});

                if (dataHome.trimStart().isEmpty())
                    dataHome = "~/.local/share";

                if (element->getStringAttribute ("prefix") == "xdg")
                    folder = juce::File (dataHome).getChildFile (folder).getFullPathName();

                folders.add (folder);
            }

            return folders;
        }

        return {};
    }

    // The folders that JUCE's font scan walks, found as JUCE finds them.
    Folders findJucesFolders()
    {
        juce::StringArray folders;
        folders.addTokens (juce::SystemStats::getEnvironmentVariable ("JUCE_FONT_PATH", {}), ";,", "");
        folders.removeEmptyStrings (true);

        if (folders.isEmpty())
            folders = readFontsConfFolders();

        folders.removeEmptyStrings (true);

        if (folders.isEmpty())
            folders.add ("/usr/X11R6/lib/X11/fonts");

        folders.removeDuplicates (false);
        Folders paths;

        for (const auto& folder : folders)
            paths.push_back (juce::File::getCurrentWorkingDirectory().getChildFile (folder).getFullPathName().toStdString());

        return paths;
    }

    // Whether every name in the folder is decodable, and its subfolders whose
    // names are, in order; a folder seen before (through a link) is not
    // listed again.
    bool listFolder (const std::string& folder, Folders& subfolders, std::set<std::pair<dev_t, ino_t>>& seen)
    {
        DIR* entries = opendir (folder.c_str());

        if (entries == nullptr)
            return true;

        bool decodable = true;

        while (const auto* entry = readdir (entries))
        {
            const std::string name (entry->d_name);

            if (name == "." || name == "..")
                continue;

            if (! isDecodable (entry->d_name))
            {
                decodable = false;
                continue;
            }

            if (entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
                continue;

            const auto path = folder + "/" + name;
            struct stat info {};

            if (stat (path.c_str(), &info) == 0 && S_ISDIR (info.st_mode) && seen.insert ({ info.st_dev, info.st_ino }).second)
                subfolders.push_back (path);
        }

        closedir (entries);
        std::sort (subfolders.begin(), subfolders.end());
        return decodable;
    }

    // True when no name below the folder is one that JUCE cannot decode.
    // Otherwise the largest folders below it that hold none are added to
    // decodable, and the folder to passedOver when its own entries hold one.
    bool sortFolder (const std::string& folder, Folders& decodable, Folders& passedOver,
                     std::set<std::pair<dev_t, ino_t>>& seen)
    {
        Folders subfolders, decodableSubfolders;
        const bool ownNamesDecodable = listFolder (folder, subfolders, seen);
        bool allDecodable = ownNamesDecodable;

        for (const auto& subfolder : subfolders)
        {
            if (sortFolder (subfolder, decodable, passedOver, seen))
                decodableSubfolders.push_back (subfolder);
            else
                allDecodable = false;
        }

        if (allDecodable)
            return true;

        decodable.insert (decodable.end(), decodableSubfolders.begin(), decodableSubfolders.end());

        if (! ownNamesDecodable)
            passedOver.push_back (folder);

        return false;
    }

    std::string join (const Folders& folders)
    {
        std::string joined;

        for (const auto& folder : folders)
            joined += (joined.empty() ? "" : ";") + folder;

        return joined.empty() ? noFolder : joined;
    }
}

//==============================================================================
void FontFolders::passOverUndecodableNames (std::ostream& messages)
{
    Folders decodable, passedOver;
    std::set<std::pair<dev_t, ino_t>> seen;

    for (const auto& folder : findJucesFolders())
        if (sortFolder (folder, decodable, passedOver, seen))
            decodable.push_back (folder);

    if (passedOver.empty())
        return;

    for (const auto& folder : passedOver)
        messages << "KVXUpdateProgram: the font folder \"" << folder << "\" holds names that are not UTF-8;"
                 << " the fonts in it are not used." << std::endl;

    setenv ("JUCE_FONT_PATH", join (decodable).c_str(), 1);
}
