#include <CoreFoundation/CFURL.h>

#include "CoreFoundation/FileURLs.h"
#include "CoreFoundation/Object.h"

#include <CoreFoundation/CFString.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

struct CFURLObject final : platform::Object
{
    explicit CFURLObject(std::string absolutePath) : Object(typeID()), path(std::move(absolutePath)) {}

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFURL");
        return id;
    }

    bool equals(const Object& other) const override { return path == static_cast<const CFURLObject&>(other).path; }
    CFHashCode hash() const override { return std::hash<std::string> {}(path); }
    std::string describe() const override { return "file://" + path; }

    bool isDirectory() const { return path.size() > 1 && path.back() == '/'; }

    const std::string path;
};

namespace
{
std::string currentDirectory()
{
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr)
    {
        if (errno != ERANGE)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string absolutePath(const std::string& path, bool isDirectory)
{
    std::string result = path.front() == '/' ? path : currentDirectory() + "/" + path;
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    if (isDirectory && result != "/")
        result += '/';
    return result;
}

const CFURLObject& urlOf(CFURLRef url, const char* function)
{
    return platform::checkedCast<CFURLObject>(url, function);
}

SInt32 errorCodeFor(int error)
{
    switch (error)
    {
        case ENOENT:
        case ENOTDIR:
            return kCFURLResourceNotFoundError;
        case EACCES:
        case EPERM:
            return kCFURLResourceAccessViolationError;
        default:
            return kCFURLUnknownError;
    }
}

// The file's bytes, or the CFURL error that kept them from being read.
SInt32 readRegularFile(const std::string& path, std::string& content)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errorCodeFor(errno);
    struct stat status {};
    SInt32 result = 0;
    if (fstat(fd, &status) != 0)
        result = errorCodeFor(errno);
    else if (!S_ISREG(status.st_mode))
        result = kCFURLResourceNotFoundError;
    char chunk[16384];
    while (result == 0)
    {
        const ssize_t count = read(fd, chunk, sizeof chunk);
        if (count > 0)
            content.append(chunk, static_cast<size_t>(count));
        else if (count == 0)
            break;
        else if (errno != EINTR)
            result = errorCodeFor(errno);
    }
    close(fd);
    return result;
}

template <typename T>
void setIfWanted(T* output, T value)
{
    if (output != nullptr)
        *output = value;
}
} // namespace

namespace platform
{

CFURLRef createFileURL(const std::string& path, bool isDirectory)
{
    if (path.empty())
        return nullptr;
    return toRef<CFURLRef>(new CFURLObject(absolutePath(path, isDirectory)));
}

const std::string& pathOf(CFURLRef url)
{
    return urlOf(url, "pathOf").path;
}

} // namespace platform

//==============================================================================
CFTypeID CFURLGetTypeID(void)
{
    return CFURLObject::typeID();
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory)
{
    if (filePath == nullptr || pathStyle != kCFURLPOSIXPathStyle)
        return nullptr;
    const char* utf8 = CFStringGetCStringPtr(filePath, kCFStringEncodingUTF8);
    if (utf8 == nullptr)
        return nullptr;
    return platform::noThrow<CFURLRef>(nullptr, [&] { return platform::createFileURL(utf8, isDirectory); });
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8* buffer, CFIndex bufLen,
                                                 Boolean isDirectory)
{
    if (buffer == nullptr || bufLen <= 0)
        return nullptr;
    return platform::noThrow<CFURLRef>(nullptr, [&] {
        const std::string path(reinterpret_cast<const char*>(buffer), strnlen(reinterpret_cast<const char*>(buffer),
                                                                              static_cast<size_t>(bufLen)));
        return platform::createFileURL(path, isDirectory);
    });
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle)
{
    const auto& url = urlOf(anURL, "CFURLCopyFileSystemPath");
    if (pathStyle != kCFURLPOSIXPathStyle)
        return nullptr;
    const std::string path = url.isDirectory() ? url.path.substr(0, url.path.size() - 1) : url.path;
    return CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(path.data()),
                                   static_cast<CFIndex>(path.size()), kCFStringEncodingUTF8, false);
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxBufLen)
{
    const auto& path = urlOf(url, "CFURLGetFileSystemRepresentation").path;
    if (buffer == nullptr || maxBufLen <= 0 || path.size() >= static_cast<size_t>(maxBufLen))
        return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

Boolean CFURLHasDirectoryPath(CFURLRef anURL)
{
    return urlOf(anURL, "CFURLHasDirectoryPath").isDirectory();
}

Boolean CFURLCreateDataAndPropertiesFromResource(CFAllocatorRef, CFURLRef url, CFDataRef* resourceData,
                                                 CFDictionaryRef* properties, CFArrayRef, SInt32* errorCode)
{
    setIfWanted<CFDataRef>(resourceData, nullptr);
    setIfWanted<CFDictionaryRef>(properties, nullptr);
    setIfWanted<SInt32>(errorCode, 0);
    if (platform::objectCast<CFURLObject>(url) == nullptr)
    {
        setIfWanted<SInt32>(errorCode, kCFURLImproperArgumentsError);
        return false;
    }

    std::string content;
    const SInt32 error = platform::noThrow<SInt32>(kCFURLUnknownError,
                                                   [&] { return readRegularFile(platform::pathOf(url), content); });
    if (error != 0)
    {
        setIfWanted(errorCode, error);
        return false;
    }
    if (resourceData == nullptr)
        return true;
    *resourceData = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(content.data()),
                                 static_cast<CFIndex>(content.size()));
    if (*resourceData == nullptr)
        setIfWanted<SInt32>(errorCode, kCFURLUnknownError);
    return *resourceData != nullptr;
}
