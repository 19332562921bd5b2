// The environment that tests start the real application in: on the test's X
// server, in English, with folders of the test's own for whatever the program
// keeps, so that neither the user's files and running copy nor other tests'
// copies are in its way.
#pragma once

#include "Support/Desktop/XvfbServer.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kvxtest
{

struct ApplicationFolders
{
    // Its home, with its preferences, cache and data below it.
    std::filesystem::path home;
    // The session's runtime folder; empty leaves the session without one.
    std::filesystem::path runtimeFolder;
    // Where the users' runtime folders are: it should hold none for this user.
    std::filesystem::path runtimeRoot;
};

// "NAME=value" entries, for kvxtest::environmentWith.
std::vector<std::string> applicationEnvironment(const XvfbServer& x, const ApplicationFolders& folders);

} // namespace kvxtest
