// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterReading.h"

#include <array>
#include <cmath>

namespace {
const std::array<AlarmStep, 5> AlarmSteps{{
    {"Off", 0, false},
    {"1.5", 1.5, true},
    {"2.0", 2.0, true},
    {"2.5", 2.5, true},
    {"3.0", 3.0, false},
}};
} // namespace

const AlarmStep* AlarmStepFor(double setting)
{
    if (!(setting >= 0 && setting <= 4) || setting != std::floor(setting))
        return nullptr;
    return &AlarmSteps[static_cast<std::size_t>(setting)];
}

QString AlarmCaption(double setting)
{
    const AlarmStep* step = AlarmStepFor(setting);
    return step ? QString::fromLatin1(step->caption) : QString();
}

std::optional<double> AlarmThreshold(double setting)
{
    const AlarmStep* step = AlarmStepFor(setting);
    if (!step || step->off())
        return std::nullopt;
    return step->threshold;
}

bool AlarmSounds(const AlarmStep& step, double power, double swr)
{
    return !step.off() && (!step.needsPower || power > 1) && swr >= step.threshold;
}

void CalcVector(StatusRecord& r)
{
    const double angle = r.phase / 57.3;
    r.resistance = std::abs(r.impedance * std::cos(angle));
    r.reactance = std::abs(r.impedance * std::sin(angle));
}

void FollowReading(StatusRecord& record, ReadingState& state)
{
    CalcVector(record);
    if (const AlarmStep* step = AlarmStepFor(record.alarmSetting)) {
        state.alarmSetting = static_cast<qint32>(step - AlarmSteps.data());
        if (!step->off())
            state.alarmShown = AlarmSounds(*step, record.power, record.swr);
    }
}
