// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostReport.h"

#include "StatusReply.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::optional<PowerReportPlan> PlanPowerReport(double rangeCode, double power)
{
    const PowerRange* range = PowerRangeFor(rangeCode);
    if (!range)
        return std::nullopt;
    // The host numbers the ranges from the lowest. It gets at most full scale
    // in the lower ranges; the highest passes on whatever the meter reads.
    const bool capped = range->rank < PowerRangeCount && power >= range->fullScaleWatts;
    return PowerReportPlan{QString::fromLatin1(range->caption), range->rank,
                           ReportedPower(capped ? range->fullScaleWatts : power)};
}

double ReportedPower(double power)
{
    constexpr double limit = static_cast<double>(std::numeric_limits<qint64>::max()) / 2;
    const double scaled = std::nearbyint(power * 10000.0);
    const auto count = static_cast<qint64>(std::clamp(scaled, -limit, limit));
    return static_cast<double>(count) / 10000.0;
}
