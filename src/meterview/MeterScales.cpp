// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterScales.h"

#include <cmath>

BarScale PowerScale(double fullScaleWatts)
{
    BarScale scale{0, fullScaleWatts, {}, "W"};
    for (int i = 1; i <= 5; ++i)
        scale.marks << fullScaleWatts * i / 5;
    return scale;
}

BarScale SwrScale()
{
    return {1, 3, {1.5, 2, 2.5, 3}, ""};
}

double NiceCeiling(double value)
{
    if (!(value > 0) || !std::isfinite(value))
        return 1;
    const double decade = std::pow(10.0, std::floor(std::log10(value)));
    for (const double step : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        // A little slack so that 250.0000001 from float rounding stays 250.
        if (value <= step * decade * (1 + 1e-9))
            return step * decade;
    }
    return 10 * decade;
}
