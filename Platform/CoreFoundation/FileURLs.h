// The URL family's services to the other families of the layer.
#pragma once

#include <CoreFoundation/CFURL.h>

#include <string>

namespace platform
{

// A new file URL for an absolute or relative path, for the caller to release;
// null for an empty path. May throw std::bad_alloc.
CFURLRef createFileURL(const std::string& path, bool isDirectory);
// The URL's absolute path (a directory's with its trailing "/"); anything but
// a URL stops the program.
const std::string& pathOf(CFURLRef url);

} // namespace platform
