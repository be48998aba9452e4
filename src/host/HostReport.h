// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// Report codes of the host's reportValue.
inline constexpr int SwrReport = 34;
inline constexpr int PowerReport = 33;

// The power report for the meter's range: the range label's caption, the
// host's range index and the power capped at the top of the range.
struct PowerReportPlan {
    QString caption;
    int index = 0;
    double reportedPower = 0;
};

// Nothing for a range code that names no range (see PowerRangeFor): the
// host is told no power it could not place on a scale.
std::optional<PowerReportPlan> PlanPowerReport(double rangeCode, double power);

// The power as the host receives it: a 64-bit count of ten-thousandths,
// rounded half to even, as a double (1.23456 gives 1.2346).
double ReportedPower(double power);
