// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatusReply.h"

#include <QList>
#include <optional>

// The scale of one bar: the values at its ends and where it is marked.
struct BarScale {
    double minimum = 0;
    double maximum = 1;
    QList<double> marks;
    // Shown after the marks' numbers and in the "over" note ("W" or empty).
    const char* unit = "";

    bool operator==(const BarScale&) const = default;
};

// 0 to the full scale, marked every fifth.
BarScale PowerScale(double fullScaleWatts);
// 1 to 3, marked at 1.5, 2, 2.5 and 3.
BarScale SwrScale();

// The smallest of 1, 2, 2.5 and 5 times a power of ten that is at least
// `value`: an axis end that reads well. 1 for anything not above 0.
double NiceCeiling(double value);
