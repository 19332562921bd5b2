#include "IOKit/IOHIDValueScaling.h"

#include <algorithm>
#include <cmath>

namespace platform
{

namespace
{
bool isProper(const ValueRange& range)
{
    return range.minimum < range.maximum;
}

double mapLinearly(double value, const ValueRange& from, const ValueRange& to)
{
    if (from.maximum == from.minimum)
        return to.minimum;
    return (value - from.minimum) * (to.maximum - to.minimum) / (from.maximum - from.minimum) + to.minimum;
}

// Around a dead zone the two sides each map onto their half of the target.
double mapAroundDeadZone(double value, const ValueRange& saturation, const ValueRange& deadZone,
                         const ValueRange& target)
{
    const double middle = (target.minimum + target.maximum) / 2;
    if (value < deadZone.minimum)
        return mapLinearly(value, { saturation.minimum, deadZone.minimum }, { target.minimum, middle });
    if (value > deadZone.maximum)
        return mapLinearly(value, { deadZone.maximum, saturation.maximum }, { middle, target.maximum });
    return middle;
}
} // namespace

double physicalValue(int64_t value, const ValueRange& logical, const ValueRange& physical)
{
    return mapLinearly(static_cast<double>(value), logical, physical);
}

double calibratedValue(int64_t value, const ValueRange& logical, const Calibration& calibration)
{
    const ValueRange saturation = calibration.saturation && isProper(*calibration.saturation) ? *calibration.saturation
                                                                                               : logical;
    const double clamped = isProper(saturation)
                               ? std::clamp(static_cast<double>(value), saturation.minimum, saturation.maximum)
                               : static_cast<double>(value);
    const bool hasDeadZone = calibration.deadZone && isProper(*calibration.deadZone);
    double scaled = hasDeadZone ? mapAroundDeadZone(clamped, saturation, *calibration.deadZone, calibration.target)
                                : mapLinearly(clamped, saturation, calibration.target);
    if (calibration.granularity > 0)
        scaled = std::round(scaled / calibration.granularity) * calibration.granularity;
    return scaled;
}

} // namespace platform
