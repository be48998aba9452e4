// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatusReply.h"

#include <QDateTime>
#include <QString>
#include <optional>

// Decides, reply by reply, when a high SWR at real power has lasted long
// enough to take the rig off the air. It only ever unkeys: the caller sends
// "T 0" when feed() says so. The alarm stays latched until acknowledged, and
// while latched it does not trip again, so an operator who keys once more
// is not fought.
class SwrProtection {
public:
    struct Settings {
        bool enabled = false;
        // Nothing: the meter's own alarm setting is the limit.
        std::optional<double> swrLimit;
        double powerFloor = 5;
        int count = 2;
    };

    void setSettings(const Settings& settings);
    const Settings& settings() const { return settings_; }

    // The SWR limit in force for the meter's alarm setting (0 off, 1..4);
    // nothing when protection follows an alarm that is off.
    std::optional<double> limitFor(qint32 alarmSetting) const;

    // One accepted reply; true exactly when this reply trips the protection.
    bool feed(const StatusRecord& record, qint32 alarmSetting, const QDateTime& when);

    bool latched() const { return latched_; }
    // What tripped, when, with the SWR and power; empty when nothing is latched.
    QString alarmText() const { return latched_ ? alarmText_ : QString(); }
    void acknowledge();

private:
    Settings settings_;
    int streak_ = 0;
    bool latched_ = false;
    QString alarmText_;
};
