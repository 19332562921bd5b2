// A working folder whose name JUCE cannot decode is left for the root folder,
// however long its name.
#include "Utf8Environment.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// A chain of folders in TMPDIR, made one at a time, as no call takes a name
// that long: the process works in the deepest from then on. Removed, and the
// process back where it was, however the test ends.
class DeepWorkingFolder
{
public:
    explicit DeepWorkingFolder(const std::vector<std::string>& names)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvx-environment-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0)
            return;

        top = pattern;
        for (const auto& name : names)
        {
            if (mkdir(name.c_str(), S_IRWXU) != 0 || chdir(name.c_str()) != 0)
                return;
            made.push_back(name);
        }
        deepest = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }

    ~DeepWorkingFolder()
    {
        // From the deepest up: wherever the process works by now.
        if (deepest >= 0 && fchdir(deepest) == 0)
            for (auto name = made.rbegin(); name != made.rend() && chdir("..") == 0; ++name)
                rmdir(name->c_str());

        if (deepest >= 0)
            close(deepest);
        if (! top.empty())
            std::filesystem::remove_all(top);
        fchdir(before);
        close(before);
    }

    DeepWorkingFolder(const DeepWorkingFolder&) = delete;
    DeepWorkingFolder& operator=(const DeepWorkingFolder&) = delete;

    bool isMade() const { return deepest >= 0; }

private:
    const int before = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string top;
    std::vector<std::string> made;
    int deepest = -1;
};

TEST (Utf8Environment, LeavesAWorkingFolderNotNamedInUtf8WhateverItsLength)
{
    std::vector<std::string> names;
    for (int i = 0; i < 50; ++i)
        names.push_back(std::string(90, (char) ('a' + i % 26)));
    names.push_back("\x80" + std::string(30, 'A'));
    const DeepWorkingFolder folder(names);
    ASSERT_TRUE(folder.isMade());

    std::ostringstream messages;
    Utf8Environment::dropValuesJuceCannotDecode(messages);

    char workingFolder[PATH_MAX];
    EXPECT_STREQ("/", getcwd(workingFolder, sizeof(workingFolder)));
    EXPECT_NE(std::string::npos, messages.str().find("the working folder")) << messages.str();
}

} // namespace
