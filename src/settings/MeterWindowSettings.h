// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingKey.h"

// The meter window's keys, group "MeterWindow".
namespace MeterWindowSettings {
inline const QString Group = QStringLiteral("MeterWindow");

// QWidget::saveGeometry() in base 64; empty: the window opens at its own size.
inline const SettingKey<QString> Geometry{
    Group,
    QStringLiteral("Geometry"),
    QString(),
    TrimmedText,
    PlainText,
    nullptr,
    QStringLiteral("the window's geometry in base 64, or empty")};
// The span of the history chart: 1, 5, 15 or 60 minutes.
inline const SettingKey<int> HistoryMinutes{
    Group,
    QStringLiteral("HistoryMinutes"),
    5,
    StrictInt,
    IntegerText,
    [](int minutes) { return minutes == 1 || minutes == 5 || minutes == 15 || minutes == 60; },
    QStringLiteral("1, 5, 15 or 60")};
// How long a peak marker stays at the highest reading before it falls back.
inline const SettingKey<int> PeakHoldMs{
    Group,
    QStringLiteral("PeakHoldMs"),
    2000,
    StrictInt,
    IntegerText,
    [](int ms) { return ms >= 0 && ms <= 60000; },
    QStringLiteral("a whole number of milliseconds from 0 to 60000")};
} // namespace MeterWindowSettings
