// A fuzz input as a stream of reports of any length: each report is a 16-bit
// little-endian length, taken modulo maxLength + 1, followed by that many
// bytes, or by what is left when the input ends first.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzsupport
{

class ReportStream
{
public:
    // Longer than the link's 256-byte copy, not only than its 64-byte reports.
    static constexpr size_t maxLength = 300;

    ReportStream(const uint8_t* bytes, size_t size) : next(bytes), end(bytes + size) {}

    bool atEnd() const { return next == end; }

    std::vector<uint8_t> take()
    {
        size_t length = *next++;
        if (next != end)
            length |= static_cast<size_t>(*next++) << 8;
        length = std::min<size_t>(length % (maxLength + 1), static_cast<size_t>(end - next));

        std::vector<uint8_t> report(next, next + length);
        next += length;
        return report;
    }

private:
    const uint8_t* next;
    const uint8_t* end;
};

} // namespace fuzzsupport
