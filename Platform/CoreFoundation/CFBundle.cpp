#include <CoreFoundation/CFBundle.h>

#include "CoreFoundation/FileURLs.h"
#include "CoreFoundation/Object.h"
#include "CoreFoundation/Strings.h"
#include "IOKit/Retained.h"

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>

#include <climits>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using platform::Retained;

struct CFBundleObject final : platform::Object
{
    CFBundleObject(std::string folder, Retained<CFStringRef> bundleIdentifier)
        : Object(typeID()), directory(std::move(folder)), identifier(std::move(bundleIdentifier))
    {
    }

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFBundle");
        return id;
    }

    std::string describe() const override { return "CFBundle " + directory; }

    std::string resourcesDirectory() const { return directory + "Resources/"; }

    const std::string directory;   // absolute, with a trailing "/"
    const Retained<CFStringRef> identifier;
};

namespace
{
bool isDirectory(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool isRegularFile(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string executableDirectory()
{
    std::vector<char> path(PATH_MAX + 1);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return {};
    const std::string executable(path.data(), static_cast<size_t>(length));
    return executable.substr(0, executable.rfind('/') + 1);
}

// The "CFBundleIdentifier" of the folder's Info.plist, if it has one.
Retained<CFStringRef> readIdentifier(const std::string& directory)
{
    auto url = Retained<CFURLRef>::adopt(platform::createFileURL(directory + "Info.plist", false));
    CFDataRef data = nullptr;
    if (!CFURLCreateDataAndPropertiesFromResource(kCFAllocatorDefault, url.get(), &data, nullptr, nullptr, nullptr))
        return {};
    auto info = Retained<CFPropertyListRef>::adopt(
        CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, nullptr));
    CFRelease(data);
    if (!info || CFGetTypeID(info.get()) != CFDictionaryGetTypeID())
        return {};
    const auto dictionary = static_cast<CFDictionaryRef>(info.get());
    const void* identifier = CFDictionaryGetValue(dictionary, CFSTR("CFBundleIdentifier"));
    if (identifier == nullptr || CFGetTypeID(identifier) != CFStringGetTypeID())
        return {};
    return Retained<CFStringRef>::retain(static_cast<CFStringRef>(identifier));
}

// The bundles the process knows. Each change makes a new array for
// CFBundleGetAllBundles and keeps the old ones, which callers may still hold.
class BundleRegistry
{
public:
    static BundleRegistry& instance()
    {
        // Never destroyed: bundles are handed out for the life of the process.
        static auto* registry = new BundleRegistry;
        return *registry;
    }

    CFBundleRef mainBundle()
    {
        std::lock_guard<std::mutex> guard(lock);
        return mainBundleLocked();
    }

    CFArrayRef allBundles()
    {
        std::lock_guard<std::mutex> guard(lock);
        mainBundleLocked();
        if (snapshots.empty() || CFArrayGetCount(snapshots.back().get()) != static_cast<CFIndex>(bundles.size()))
            takeSnapshot();
        return snapshots.back().get();
    }

    CFBundleRef withIdentifier(CFStringRef identifier)
    {
        std::lock_guard<std::mutex> guard(lock);
        mainBundleLocked();
        for (const auto& bundle : bundles)
        {
            const auto& known = bundle.get()->identifier;
            // A bundle whose folder has gone leaves its identifier to a later one.
            if (known && CFEqual(known.get(), identifier) && isDirectory(bundle.get()->directory))
                return bundle.get();
        }
        return nullptr;
    }

    // The bundle of the folder, made and registered when it is new.
    CFBundleRef bundleFor(const std::string& directory)
    {
        std::lock_guard<std::mutex> guard(lock);
        mainBundleLocked();
        for (const auto& bundle : bundles)
            if (bundle.get()->directory == directory)
                return bundle.get();
        return add(directory);
    }

private:
    CFBundleRef mainBundleLocked()
    {
        if (!mainLookedFor)
        {
            mainLookedFor = true;
            const auto directory = executableDirectory();
            main = directory.empty() ? nullptr : add(directory);
        }
        return main;
    }

    CFBundleRef add(const std::string& directory)
    {
        auto bundle = Retained<CFBundleRef>::adopt(new CFBundleObject(directory, readIdentifier(directory)));
        bundles.push_back(bundle);
        return bundle.get();
    }

    void takeSnapshot()
    {
        std::vector<const void*> values;
        for (const auto& bundle : bundles)
            values.push_back(bundle.get());
        snapshots.push_back(Retained<CFArrayRef>::adopt(CFArrayCreate(
            kCFAllocatorDefault, values.data(), static_cast<CFIndex>(values.size()), &kCFTypeArrayCallBacks)));
    }

    std::mutex lock;
    bool mainLookedFor = false;
    CFBundleRef main = nullptr;
    std::vector<Retained<CFBundleRef>> bundles;
    std::vector<Retained<CFArrayRef>> snapshots;
};

const CFBundleObject& bundleOf(CFBundleRef bundle, const char* function)
{
    return platform::checkedCast<CFBundleObject>(bundle, function);
}

std::string resourceFileName(CFStringRef name, CFStringRef type)
{
    std::string file = platform::textOf(name);
    if (type == nullptr || CFStringGetLength(type) == 0)
        return file;
    const auto& extension = platform::textOf(type);
    return extension.front() == '.' ? file + extension : file + "." + extension;
}
} // namespace

CFTypeID CFBundleGetTypeID(void)
{
    return CFBundleObject::typeID();
}

CFBundleRef CFBundleGetMainBundle(void)
{
    return platform::noThrow<CFBundleRef>(nullptr, [] { return BundleRegistry::instance().mainBundle(); });
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID)
{
    if (bundleID == nullptr)
        return nullptr;
    return platform::noThrow<CFBundleRef>(nullptr, [&] { return BundleRegistry::instance().withIdentifier(bundleID); });
}

CFArrayRef CFBundleGetAllBundles(void)
{
    return platform::noThrow<CFArrayRef>(nullptr, [] { return BundleRegistry::instance().allBundles(); });
}

CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef bundleURL)
{
    if (bundleURL == nullptr)
        return nullptr;
    return platform::noThrow<CFBundleRef>(nullptr, [&]() -> CFBundleRef {
        std::string directory = platform::pathOf(bundleURL);
        if (directory.back() != '/')
            directory += '/';
        if (!isDirectory(directory))
            return nullptr;
        CFBundleRef bundle = BundleRegistry::instance().bundleFor(directory);
        CFRetain(bundle);
        return bundle;
    });
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
{
    return bundleOf(bundle, "CFBundleGetIdentifier").identifier.get();
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle)
{
    const auto& directory = bundleOf(bundle, "CFBundleCopyBundleURL").directory;
    return platform::noThrow<CFURLRef>(nullptr, [&] { return platform::createFileURL(directory, true); });
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle)
{
    const auto directory = bundleOf(bundle, "CFBundleCopyResourcesDirectoryURL").resourcesDirectory();
    return platform::noThrow<CFURLRef>(nullptr, [&] { return platform::createFileURL(directory, true); });
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName)
{
    const auto& object = bundleOf(bundle, "CFBundleCopyResourceURL");
    if (resourceName == nullptr)
        return nullptr;
    return platform::noThrow<CFURLRef>(nullptr, [&]() -> CFURLRef {
        std::string path = object.resourcesDirectory();
        if (subDirName != nullptr && CFStringGetLength(subDirName) > 0)
            path += platform::textOf(subDirName) + "/";
        path += resourceFileName(resourceName, resourceType);
        return isRegularFile(path) ? platform::createFileURL(path, false) : nullptr;
    });
}
