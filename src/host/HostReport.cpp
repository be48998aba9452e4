// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostReport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {
struct Range {
    const char* caption;
    int index;
    double cap; // 0: no cap
};
// Captions are four characters wide.
constexpr std::array<Range, 3> Ranges{{
    {"2500", 3, 0},
    {" 250", 2, 250},
    {"  25", 1, 25},
}};
} // namespace

std::optional<PowerReportPlan> PlanPowerReport(double rangeCode, double power)
{
    for (std::size_t code = 0; code < Ranges.size(); ++code) {
        if (rangeCode != static_cast<double>(code))
            continue;
        const Range& range = Ranges[code];
        const double capped = range.cap > 0 && power >= range.cap ? range.cap : power;
        return PowerReportPlan{QString::fromLatin1(range.caption), range.index,
                               ReportedPower(capped)};
    }
    return std::nullopt;
}

double ReportedPower(double power)
{
    constexpr double limit = static_cast<double>(std::numeric_limits<qint64>::max()) / 2;
    const double scaled = std::nearbyint(power * 10000.0);
    const auto count = static_cast<qint64>(std::clamp(scaled, -limit, limit));
    return static_cast<double>(count) / 10000.0;
}
