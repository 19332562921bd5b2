#include "HidrawNode.h"

#include "HidrawErrors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace platform::hidraw
{

HidrawNode::HidrawNode(std::string path) : devnode(std::move(path)) {}

HidrawNode::~HidrawNode()
{
    close();
}

int HidrawNode::open()
{
    std::unique_lock lock(mutex);
    if (fd >= 0)
        return 0;
    fd = ::open(devnode.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    return fd >= 0 ? 0 : errno;
}

void HidrawNode::close()
{
    std::unique_lock lock(mutex);
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

int HidrawNode::descriptor() const
{
    std::shared_lock lock(mutex);
    return fd;
}

HidrawNode::ReadStatus HidrawNode::read(uint8_t* buffer, size_t capacity, size_t& length)
{
    std::shared_lock lock(mutex);
    if (fd < 0)
        return ReadStatus::none;
    ssize_t result;
    do
        result = ::read(fd, buffer, capacity);
    while (result < 0 && errno == EINTR);
    if (result > 0)
    {
        length = static_cast<size_t>(result);
        return ReadStatus::report;
    }
    return result < 0 && isDeviceGone(errno) ? ReadStatus::gone : ReadStatus::none;
}

IOReturn HidrawNode::write(uint8_t reportID, const uint8_t* data, size_t length)
{
    const size_t prefix = reportID == 0 ? 1 : 0;
    std::vector<uint8_t> report(prefix + length);
    if (length > 0)
        std::memcpy(report.data() + prefix, data, length);

    std::shared_lock lock(mutex);
    if (fd < 0)
        return kIOReturnNoDevice;
    ssize_t written;
    do
        written = ::write(fd, report.data(), report.size());
    while (written < 0 && errno == EINTR);
    if (written < 0)
        return ioReturnFromErrno(errno);
    return static_cast<size_t>(written) == report.size() ? kIOReturnSuccess : kIOReturnError;
}

} // namespace platform::hidraw
