#include "HidrawAccessHint.h"

#include <Platform/DeviceAccess.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

namespace platform
{
namespace
{
struct AccessHint
{
    std::mutex lock;
    uint32_t vendorID = 0;
    uint32_t productID = 0;
    std::string text;
    bool pending = false;
};

AccessHint& accessHint()
{
    static AccessHint hint;
    return hint;
}

bool isPermissionError(int error)
{
    return error == EACCES || error == EPERM;
}
} // namespace

void setAccessDeniedHint(uint32_t vendorID, uint32_t productID, std::string text)
{
    auto& hint = accessHint();
    std::lock_guard guard(hint.lock);
    hint.vendorID = vendorID;
    hint.productID = productID;
    hint.text = std::move(text);
    hint.pending = true;
}

namespace hidraw
{

void reportOpenFailure(const DeviceInfo& device, int error)
{
    if (! isPermissionError(error))
        return;
    auto& hint = accessHint();
    std::lock_guard guard(hint.lock);
    if (! hint.pending || device.vendorID != hint.vendorID || device.productID != hint.productID)
        return;
    hint.pending = false;
    std::fprintf(stderr, "hidraw: cannot open %s: %s (errno %d). %s\n", device.devnode.c_str(),
                 std::strerror(error), error, hint.text.c_str());
}

} // namespace hidraw
} // namespace platform
