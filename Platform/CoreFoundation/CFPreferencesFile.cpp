#include "CoreFoundation/CFPreferencesFile.h"

#include "CoreFoundation/PropertyListWriter.h"

#include <CoreFoundation/CoreFoundation.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform::preferences
{

namespace
{
constexpr off_t largestFile = 16 * 1024 * 1024;
constexpr const char* suffix = ".plist";
// mkostemp's ".XXXXXX" behind the file's name.
constexpr size_t temporarySuffixLength = 7;
// Enough for a file broken again and again; past it, the file is not replaced.
constexpr int mostKeptCopies = 1000;

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return home;
    passwd entry {};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr
        && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

// XDG asks to ignore a relative $XDG_CONFIG_HOME.
std::string configurationDirectory()
{
    if (const char* configured = std::getenv("XDG_CONFIG_HOME"); configured != nullptr && configured[0] == '/')
        return configured;
    const auto home = homeDirectory();
    return home.empty() ? std::string() : home + "/.config";
}

bool canNameAFile(const std::string& applicationID)
{
    return !applicationID.empty() && applicationID != "." && applicationID != ".."
           && applicationID.find_first_of(std::string("/\0", 2)) == std::string::npos
           && applicationID.size() + std::char_traits<char>::length(suffix) + temporarySuffixLength <= NAME_MAX;
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd; }
    // Closing can report a write that failed late (on some file systems).
    bool close() { return ::close(std::exchange(fd, -1)) == 0; }

private:
    int fd;
};

// Nothing when the file is there but cannot be read whole; empty when it is missing.
std::optional<std::string> readWhole(const std::string& path)
{
    // Non-blocking, so that a FIFO in the file's place cannot hang the open.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
    struct stat status {};
    if (fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > largestFile)
        return std::nullopt;
    std::string contents(static_cast<size_t>(status.st_size), '\0');
    size_t done = 0;
    while (done < contents.size())
    {
        const ssize_t count = ::read(file.get(), contents.data() + done, contents.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        // Shortened by another writer meanwhile: what is there is the file.
        if (count == 0)
            break;
        done += static_cast<size_t>(count);
    }
    contents.resize(done);
    return contents;
}

Retained<CFMutableDictionaryRef> emptyDictionary()
{
    auto dictionary = Retained<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    if (!dictionary)
        throw std::bad_alloc();
    return dictionary;
}

bool writeAll(int fd, const std::string& contents)
{
    size_t done = 0;
    while (done < contents.size())
    {
        const ssize_t count = ::write(fd, contents.data() + done, contents.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<size_t>(count);
    }
    return true;
}

// Makes the directory and any missing parents, private to the user as XDG asks.
bool makeDirectories(const std::string& directory)
{
    struct stat status {};
    if (::stat(directory.c_str(), &status) == 0)
        return S_ISDIR(status.st_mode);
    if (directory != "/" && !makeDirectories(directoryOf(directory)))
        return false;
    return ::mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
}

// The rename is durable only once the directory's entry is on the disk.
void syncDirectory(const std::string& directory)
{
    FileDescriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get());
}

// The contents written and on the disk, the file closed.
bool writeDurably(FileDescriptor& file, const std::string& contents)
{
    return writeAll(file.get(), contents) && ::fsync(file.get()) == 0 && file.close();
}

// A new file of the name that holds the contents on the disk; nothing written
// over a file that is there already.
bool writeNewFile(const std::string& path, const std::string& contents)
{
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (file.get() < 0)
        return false;
    if (writeDurably(file, contents))
        return true;
    ::unlink(path.c_str());
    return false;
}

std::string keptName(const std::string& path, int copy)
{
    return path + ".unreadable" + (copy == 0 ? std::string() : "." + std::to_string(copy));
}

bool replaceFile(const std::string& path, const std::string& contents)
{
    std::string temporary = path + ".XXXXXX";
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0)
        return false;
    const bool written = writeDurably(file, contents) && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!written)
    {
        ::unlink(temporary.c_str());
        return false;
    }
    syncDirectory(directoryOf(path));
    return true;
}
} // namespace

std::optional<std::string> fileFor(const std::string& applicationID)
{
    const auto directory = configurationDirectory();
    if (directory.empty() || !canNameAFile(applicationID))
        return std::nullopt;
    return directory + "/" + applicationID + suffix;
}

PreferencesFile readPreferences(const std::string& path)
{
    auto contents = readWhole(path);
    if (!contents)
        return {};
    if (contents->empty())
        return { emptyDictionary(), std::nullopt };
    const auto data = Retained<CFDataRef>::adopt(CFDataCreate(
        kCFAllocatorDefault, reinterpret_cast<const UInt8*>(contents->data()), static_cast<CFIndex>(contents->size())));
    if (!data)
        throw std::bad_alloc();
    const auto list = Retained<CFPropertyListRef>::adopt(
        CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data.get(), kCFPropertyListMutableContainers, nullptr));
    if (!list || CFGetTypeID(list.get()) != CFDictionaryGetTypeID())
        return { emptyDictionary(), std::move(contents) };
    return { Retained<CFMutableDictionaryRef>::retain(static_cast<CFMutableDictionaryRef>(const_cast<void*>(list.get()))),
             std::nullopt };
}

bool keepUnparseable(const std::string& path, const std::string& contents)
{
    for (int copy = 0; copy < mostKeptCopies; ++copy)
    {
        const auto kept = keptName(path, copy);
        if (writeNewFile(kept, contents))
        {
            std::fprintf(stderr, "preferences: %s holds no property list dictionary; it is kept as %s\n",
                         path.c_str(), kept.c_str());
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool writePreferences(const std::string& path, CFDictionaryRef preferences)
{
    const auto contents = plist::writeXML(preferences);
    return contents && makeDirectories(directoryOf(path)) && replaceFile(path, *contents);
}

} // namespace platform::preferences
