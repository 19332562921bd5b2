#include "Support/Desktop/ApplicationEnvironment.h"

#include <cstdlib>

namespace kvxtest
{

std::vector<std::string> applicationEnvironment(const XvfbServer& x, const ApplicationFolders& folders)
{
    // Under AddressSanitizer: the X libraries that JUCE loads at run time and
    // unloads at exit leave allocations that the leak checker cannot name, so
    // it would fail every clean exit. The application's own objects are
    // leak-checked by the component tests.
    const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");

    auto environment = x.clientEnvironment();
    environment.insert(environment.end(),
                       { "HOME=" + folders.home.string(),
                         "XDG_CONFIG_HOME=" + (folders.home / ".config").string(),
                         "XDG_CACHE_HOME=" + (folders.home / ".cache").string(),
                         "XDG_DATA_HOME=" + (folders.home / ".local" / "share").string(),
                         "XDG_RUNTIME_DIR=" + folders.runtimeFolder.string(),
                         "KVX_RUNTIME_ROOT=" + folders.runtimeRoot.string(),
                         "LANG=en_US.UTF-8",
                         "LANGUAGE=en",
                         "LC_ALL=en_US.UTF-8",
                         std::string("ASAN_OPTIONS=") + (sanitizerOptions != nullptr ? sanitizerOptions : "")
                             + ":detect_leaks=0" });
    return environment;
}

} // namespace kvxtest
