// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MainControls.h"
#include "MeterReading.h"
#include "ReadingTexts.h"
#include "StatusReply.h"

#include <QColor>
#include <QLocale>

// The colour of the Alarm button while the SWR is above the meter's setting.
inline const QColor AlarmRed{192, 0, 0};

// Shows an accepted reading, its derived fields filled, on the window.
void ShowReadings(const MainControls& c, const StatusRecord& record, const ReadingState& state,
                  const QLocale& locale);

// Fills a freshly decoded record's derived fields, follows the meter's alarm
// setting in `alarmSetting` (the alarm shown is what the Alarm button shows),
// and shows the reading.
void RefreshReadings(const MainControls& c, StatusRecord& record, qint32& alarmSetting,
                     const QLocale& locale);
