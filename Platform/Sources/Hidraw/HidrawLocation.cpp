#include "HidrawLocation.h"

#include "HidrawSysfs.h"

#include <sstream>
#include <vector>

namespace platform::hidraw
{

namespace
{
constexpr uint32_t maxBusNumber = 0xff;
constexpr uint32_t maxPortNumber = 0xf;
constexpr size_t maxPortDepth = 6;

std::optional<std::vector<uint32_t>> parsePortPath(const std::string& devpath)
{
    std::vector<uint32_t> ports;
    std::istringstream stream(devpath);
    std::string component;
    while (std::getline(stream, component, '.'))
    {
        const auto port = parseUnsigned(component.c_str(), 10);
        if (! port || *port == 0 || *port > maxPortNumber || ports.size() == maxPortDepth)
            return std::nullopt;
        ports.push_back(*port);
    }
    if (ports.empty() || devpath.back() == '.')
        return std::nullopt;
    return ports;
}

uint32_t fnv1a(uint32_t hash, const std::string& text)
{
    for (const unsigned char c : text)
        hash = (hash ^ c) * 16777619u;
    return hash;
}
} // namespace

std::optional<uint32_t> usbLocationID(uint32_t busNumber, const std::string& devpath)
{
    if (busNumber == 0 || busNumber > maxBusNumber)
        return std::nullopt;
    const auto ports = parsePortPath(devpath);
    if (! ports)
        return std::nullopt;
    uint32_t location = busNumber << 24;
    int shift = 20;
    for (const uint32_t port : *ports)
    {
        location |= port << shift;
        shift -= 4;
    }
    return location;
}

std::optional<uint32_t> hashedLocationID(const std::string& physicalPath, const std::string& uniqueID)
{
    if (physicalPath.empty() && uniqueID.empty())
        return std::nullopt;
    // The separator keeps ("ab", "c") and ("a", "bc") apart.
    return fnv1a(fnv1a(2166136261u, physicalPath) * 16777619u, uniqueID);
}

} // namespace platform::hidraw
