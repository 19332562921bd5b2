// Arbitrary bytes as an XML property list: parsing must end in a list or in
// null with a reason, whatever the bytes, and a list must describe itself.
#include <CoreFoundation/CoreFoundation.h>

#include <cstdio>
#include <cstdlib>

namespace
{
[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

void parseWith(CFDataRef data, CFOptionFlags mutability)
{
    CFStringRef error = nullptr;
    CFPropertyListRef list = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, mutability, &error);
    if ((list == nullptr) == (error == nullptr))
        fail("a result and an error string, or neither");
    if (error != nullptr)
        CFRelease(error);
    if (list == nullptr)
        return;
    // Walks the whole tree.
    CFRelease(CFCopyDescription(list));
    CFRelease(list);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, bytes, static_cast<CFIndex>(size));
    if (data == nullptr)
        fail("no data");
    parseWith(data, kCFPropertyListImmutable);
    parseWith(data, kCFPropertyListMutableContainersAndLeaves);
    CFRelease(data);
    return 0;
}
