// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MainControls.h"
#include "MeterReading.h"
#include "StatusReply.h"

#include <QColor>
#include <QLocale>

// The colour of the Alarm button while the SWR is above the meter's setting.
inline const QColor AlarmRed{192, 0, 0};

// Plain decimal text with up to 15 significant digits, no trailing zeros and
// no thousands separator (50 gives "50", 12.5 gives "12.5").
QString GeneralNumberText(double value, const QLocale& locale);
// "###0.00": at least one digit before the separator, two after (0 gives "0.00").
QString PowerText(double value, const QLocale& locale);
// "#.00": two digits after the separator, none before it when the whole
// part is 0 (0 gives ".00", 0.5 gives ".50").
QString SwrText(double value, const QLocale& locale);

// Shows an accepted reading, its derived fields filled, on the window.
void ShowReadings(const MainControls& c, const StatusRecord& record, const ReadingState& state,
                  const QLocale& locale);

// Fills a freshly decoded record's derived fields, follows the meter's alarm
// setting in `alarmState` (the alarm shown is what the Alarm button shows),
// and shows the reading.
void RefreshReadings(const MainControls& c, StatusRecord& record, qint32& alarmState,
                     const QLocale& locale);
