// File URLs: where a resource lives on the local file system.
//
// Only file URLs exist here. A URL keeps an absolute POSIX path (a relative
// one is taken from the current directory when the URL is made); a directory
// URL's path ends in "/".
#pragma once

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>

typedef const struct CFURLObject* CFURLRef;

typedef enum : CFIndex
{
    kCFURLPOSIXPathStyle = 0
} CFURLPathStyle;

// The errorCode values of CFURLCreateDataAndPropertiesFromResource.
enum : SInt32
{
    kCFURLUnknownError = -10,
    kCFURLResourceNotFoundError = -12,
    kCFURLResourceAccessViolationError = -13,
    kCFURLImproperArgumentsError = -15
};

CFTypeID CFURLGetTypeID(void);

// Caller releases. Null for a null or empty path, a path style other than POSIX,
// or out of memory.
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory);
// The same from the path's bytes (bufLen of them, no terminator needed).
CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef allocator, const UInt8* buffer, CFIndex bufLen,
                                                 Boolean isDirectory);

// The path without its trailing "/" (but "/" itself), for the caller to release;
// null when the path is not UTF-8.
CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle);
// Writes the path and a terminating NUL into buffer; false when they need more
// than maxBufLen bytes.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer, CFIndex maxBufLen);
Boolean CFURLHasDirectoryPath(CFURLRef anURL);

// Reads the whole file into *resourceData (caller releases). False, with
// *resourceData null and *errorCode set, for a file that does not exist or is no
// regular file (kCFURLResourceNotFoundError), that cannot be read
// (kCFURLResourceAccessViolationError) or for a null URL (kCFURLImproperArgumentsError).
// No properties are supported: *properties, when asked for, becomes null. Any
// output pointer may be null.
Boolean CFURLCreateDataAndPropertiesFromResource(CFAllocatorRef allocator, CFURLRef url, CFDataRef* resourceData,
                                                 CFDictionaryRef* properties, CFArrayRef desiredProperties,
                                                 SInt32* errorCode);
