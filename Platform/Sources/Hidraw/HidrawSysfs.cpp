#include "HidrawSysfs.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace platform::hidraw
{

std::vector<uint8_t> readBinaryFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (! file)
        return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::optional<uint32_t> parseUnsigned(const char* text, int base)
{
    // strtoull would also take signs and leading blanks.
    if (text == nullptr || ! std::isxdigit(static_cast<unsigned char>(*text)))
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, base);
    if (errno != 0 || *end != '\0' || value > UINT32_MAX)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::optional<std::string> nonEmpty(const char* text)
{
    if (text == nullptr || *text == '\0')
        return std::nullopt;
    return std::string(text);
}

} // namespace platform::hidraw
