// Folders that the process knows as bundles, for the name lists; each goes with
// this object, and with it every list that a later lookup could find there.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

class BundleFolders
{
public:
    BundleFolders() = default;
    BundleFolders(const BundleFolders&) = delete;
    BundleFolders& operator=(const BundleFolders&) = delete;

    ~BundleFolders()
    {
        for (const auto& made : folders)
            std::filesystem::remove_all(made);
    }

    // A new empty bundle, with an identifier when one is given.
    std::filesystem::path add(const char* identifier = nullptr)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvx-names-XXXXXX").string();
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        folders.push_back(pattern);
        if (identifier != nullptr)
            writeFile(folders.back() / "Info.plist", plist(std::string("<dict><key>CFBundleIdentifier</key><string>")
                                                               + identifier + "</string></dict>"));
        CFURLRef url = CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault,
                                                               reinterpret_cast<const UInt8*>(pattern.data()),
                                                               static_cast<CFIndex>(pattern.size()), true);
        CFBundleRef bundle = CFBundleCreate(kCFAllocatorDefault, url);
        EXPECT_NE(bundle, nullptr);
        CFRelease(bundle);
        CFRelease(url);
        return pattern;
    }

    // The list resource "name.plist" of the bundle, holding body as its top-level object.
    static void writeList(const std::filesystem::path& bundle, const char* name, const std::string& body)
    {
        writeFile(bundle / "Resources" / (std::string(name) + ".plist"), plist(body));
    }

private:
    static std::string plist(const std::string& body)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
    }

    static void writeFile(const std::filesystem::path& path, const std::string& content)
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << content;
    }

    std::vector<std::filesystem::path> folders;
};
