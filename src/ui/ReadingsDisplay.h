// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MainControls.h"
#include "ReadingTexts.h"
#include "StatusReply.h"

#include <QColor>
#include <QLocale>

// The colour of the Alarm button while the SWR is above the meter's setting.
inline const QColor AlarmRed{192, 0, 0};

// Resistance and reactance as magnitudes, from impedance and phase in
// degrees. The meter's own arithmetic divides by 57.3, not by 180/pi.
void CalcVector(StatusRecord& record);

// Shows a freshly decoded record on the window, fills its derived fields, and
// follows the meter's alarm setting in `alarmState`.
void RefreshReadings(const MainControls& c, StatusRecord& record, qint32& alarmState,
                     const QLocale& locale);
