// SPDX-License-Identifier: GPL-3.0-or-later
#include "SwrProtection.h"

#include "MeterReading.h"

void SwrProtection::setSettings(const Settings& settings)
{
    settings_ = settings;
    streak_ = 0;
}

std::optional<double> SwrProtection::limitFor(qint32 alarmSetting) const
{
    if (settings_.swrLimit)
        return settings_.swrLimit;
    // The meter's alarm steps; with its alarm off the operator has said no
    // SWR is too high, so the protection follows that and stays quiet.
    return AlarmThreshold(alarmSetting);
}

bool SwrProtection::feed(const StatusRecord& record, qint32 alarmSetting, const QDateTime& when)
{
    const std::optional<double> limit = limitFor(alarmSetting);
    const bool high = settings_.enabled && record.received && limit && record.swr >= *limit &&
                      record.power > settings_.powerFloor;
    streak_ = high ? streak_ + 1 : 0;
    if (latched_ || streak_ < settings_.count)
        return false;
    latched_ = true;
    alarmText_ = QStringLiteral("SWR protection unkeyed the rig at %1: SWR %2 (limit %3) at %4 W")
                     .arg(when.toString(QStringLiteral("HH:mm:ss")))
                     .arg(record.swr, 0, 'f', 2)
                     .arg(*limit, 0, 'f', 1)
                     .arg(record.power, 0, 'f', 1);
    return true;
}

void SwrProtection::acknowledge()
{
    latched_ = false;
    streak_ = 0;
}
