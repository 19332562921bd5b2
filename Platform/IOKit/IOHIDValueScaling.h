// How a HID manager scales an element's logical value.
#pragma once

#include <cstdint>
#include <optional>

namespace platform
{

struct ValueRange
{
    double minimum = 0;
    double maximum = 0;
};

// What the element's calibration properties say; a property that is missing
// leaves its part out.
struct Calibration
{
    ValueRange target { -1, 1 };
    std::optional<ValueRange> saturation;
    std::optional<ValueRange> deadZone;
    double granularity = 0;
};

// The logical range mapped linearly onto the physical one; an empty logical
// range gives the physical minimum.
double physicalValue(int64_t value, const ValueRange& logical, const ValueRange& physical);

double calibratedValue(int64_t value, const ValueRange& logical, const Calibration& calibration);

} // namespace platform
