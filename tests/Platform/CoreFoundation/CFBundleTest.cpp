// Bundles and file URLs: finding a bundle's resources on disk as they are now.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
// A folder of its own under the temporary directory, removed with the fixture.
class BundleFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kvx-bundle-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }

    void TearDown() override { fs::remove_all(folder); }

    void write(const std::string& relativePath, const std::string& content) const
    {
        const fs::path path = folder / relativePath;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }

    CFURLRef folderURL() const
    {
        const std::string path = folder.string();
        return CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(path.data()),
                                                       static_cast<CFIndex>(path.size()), true);
    }

    CFBundleRef createBundle() const
    {
        CFURLRef url = folderURL();
        CFBundleRef bundle = CFBundleCreate(kCFAllocatorDefault, url);
        CFRelease(url);
        return bundle;
    }

    fs::path folder;
};

std::string pathOf(CFURLRef url)
{
    if (url == nullptr)
        return "<none>";
    CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
    std::string text = CFStringGetCStringPtr(path, kCFStringEncodingUTF8);
    CFRelease(path);
    return text;
}

std::string resourcePath(CFBundleRef bundle, CFStringRef name, CFStringRef type, CFStringRef subdirectory = nullptr)
{
    CFURLRef url = CFBundleCopyResourceURL(bundle, name, type, subdirectory);
    std::string path = pathOf(url);
    if (url != nullptr)
        CFRelease(url);
    return path;
}

std::string infoPlist(const char* identifier)
{
    return std::string("<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>") + identifier
           + "</string></dict></plist>";
}
} // namespace

//==============================================================================
// Faults guarded against: a resource found under the wrong name or folder, or
// remembered after it is gone (and not seen once it appears).

using BundleResources = BundleFolder;

TEST_F(BundleResources, AreFoundByNameTypeAndSubfolderAsTheFilesAreNow)
{
    CFBundleRef bundle = createBundle();
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(resourcePath(bundle, CFSTR("HID_usage_strings"), CFSTR("plist")), "<none>");

    write("Resources/HID_usage_strings.plist", "<plist/>");
    write("Resources/lists/extra.plist", "<plist/>");
    write("Resources/README", "");
    const std::string resources = (folder / "Resources").string();
    EXPECT_EQ(resourcePath(bundle, CFSTR("HID_usage_strings"), CFSTR("plist")), resources + "/HID_usage_strings.plist");
    EXPECT_EQ(resourcePath(bundle, CFSTR("HID_usage_strings"), CFSTR(".plist")), resources + "/HID_usage_strings.plist");
    EXPECT_EQ(resourcePath(bundle, CFSTR("extra"), CFSTR("plist"), CFSTR("lists")), resources + "/lists/extra.plist");
    EXPECT_EQ(resourcePath(bundle, CFSTR("README"), nullptr), resources + "/README");
    EXPECT_EQ(resourcePath(bundle, CFSTR("extra"), CFSTR("plist")), "<none>");
    EXPECT_EQ(resourcePath(bundle, CFSTR("lists"), nullptr), "<none>") << "a folder is no resource";

    fs::remove(folder / "Resources/HID_usage_strings.plist");
    EXPECT_EQ(resourcePath(bundle, CFSTR("HID_usage_strings"), CFSTR("plist")), "<none>");
    CFRelease(bundle);
}

//==============================================================================
// Faults guarded against: two objects for one folder, a bundle the process
// forgets, an identifier not read, a listing that dangles once the list grows.

using BundleRegistry = BundleFolder;

TEST_F(BundleRegistry, KnowsEachFolderOnceAndFindsItByIdentifier)
{
    write("Info.plist", infoPlist("org.kvx-updater.tests.registry"));
    CFArrayRef before = CFBundleGetAllBundles();
    const CFIndex countBefore = CFArrayGetCount(before);

    CFBundleRef bundle = createBundle();
    ASSERT_NE(bundle, nullptr);
    CFBundleRef again = createBundle();
    EXPECT_EQ(again, bundle);
    CFRelease(again);

    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("org.kvx-updater.tests.registry")), bundle);
    EXPECT_TRUE(CFEqual(CFBundleGetIdentifier(bundle), CFSTR("org.kvx-updater.tests.registry")));
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("org.kvx-updater.tests.nobody")), nullptr);

    CFArrayRef after = CFBundleGetAllBundles();
    ASSERT_EQ(CFArrayGetCount(after), countBefore + 1);
    EXPECT_EQ(CFArrayGetValueAtIndex(after, countBefore), bundle);
    EXPECT_EQ(CFArrayGetValueAtIndex(after, 0), CFBundleGetMainBundle());
    EXPECT_EQ(CFArrayGetCount(before), countBefore) << "an earlier listing stays as it was";
    CFRelease(bundle);
}

TEST_F(BundleRegistry, RefusesWhatIsNoFolder)
{
    write("file", "");
    const std::string path = (folder / "file").string();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(path.data()),
                                                           static_cast<CFIndex>(path.size()), false);
    EXPECT_EQ(CFBundleCreate(kCFAllocatorDefault, url), nullptr);
    CFRelease(url);
}

TEST(MainBundle, IsTheFolderOfTheRunningExecutable)
{
    CFBundleRef main = CFBundleGetMainBundle();
    ASSERT_NE(main, nullptr);
    CFURLRef url = CFBundleCopyBundleURL(main);
    EXPECT_EQ(pathOf(url), fs::read_symlink("/proc/self/exe").parent_path().string());
    CFRelease(url);
}

//==============================================================================
// Faults guarded against: a failed read reported as success, a wrong error code,
// a path that loses or gains its folder slash.

using FileURLs = BundleFolder;

TEST_F(FileURLs, ReadWholeFilesAndReportWhyOthersFail)
{
    const std::string content("binary\0bytes", 12);
    write("data.bin", content);
    const std::string path = (folder / "data.bin").string();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(path.data()),
                                                           static_cast<CFIndex>(path.size()), false);
    CFDataRef data = nullptr;
    SInt32 error = 1;
    ASSERT_TRUE(CFURLCreateDataAndPropertiesFromResource(kCFAllocatorDefault, url, &data, nullptr, nullptr, &error));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), static_cast<size_t>(CFDataGetLength(data))),
              content);
    CFRelease(data);
    CFRelease(url);

    CFURLRef missing = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, CFSTR("/nonexistent/kvx"), kCFURLPOSIXPathStyle, false);
    data = reinterpret_cast<CFDataRef>(1);
    EXPECT_FALSE(CFURLCreateDataAndPropertiesFromResource(kCFAllocatorDefault, missing, &data, nullptr, nullptr, &error));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(error, kCFURLResourceNotFoundError);
    CFRelease(missing);

    CFURLRef directory = folderURL();
    EXPECT_FALSE(CFURLCreateDataAndPropertiesFromResource(kCFAllocatorDefault, directory, &data, nullptr, nullptr, &error));
    EXPECT_EQ(error, kCFURLResourceNotFoundError);
    CFRelease(directory);
}

TEST(FileURLPaths, AreAbsoluteAndKeepTheFolderMark)
{
    CFURLRef folder = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, CFSTR("/tmp/a//"), kCFURLPOSIXPathStyle, true);
    EXPECT_TRUE(CFURLHasDirectoryPath(folder));
    EXPECT_EQ(pathOf(folder), "/tmp/a");
    UInt8 buffer[8];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(folder, true, buffer, sizeof buffer));
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer), "/tmp/a/");
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(folder, true, buffer, 7)) << "no room for the terminator";
    CFRelease(folder);

    CFURLRef relative = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, CFSTR("x.plist"), kCFURLPOSIXPathStyle, false);
    EXPECT_EQ(pathOf(relative), (fs::current_path() / "x.plist").string());
    EXPECT_FALSE(CFURLHasDirectoryPath(relative));
    CFRelease(relative);

    CFURLRef root = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, CFSTR("/"), kCFURLPOSIXPathStyle, true);
    EXPECT_EQ(pathOf(root), "/");
    CFRelease(root);
    EXPECT_EQ(CFURLCreateWithFileSystemPath(kCFAllocatorDefault, CFSTR(""), kCFURLPOSIXPathStyle, false), nullptr);
}
