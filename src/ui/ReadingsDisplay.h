// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MainControls.h"
#include "MeterReading.h"
#include "ReadingTexts.h"
#include "StatusReply.h"

#include <QColor>
#include <QLocale>

// The colour of the Alarm button while the SWR is at or above the meter's setting.
inline const QColor AlarmRed{192, 0, 0};

// Shows an accepted reading on the window, after FollowReading has filled
// its derived fields and followed the alarm into `state`.
void ShowReadings(const MainControls& c, const StatusRecord& record, const ReadingState& state,
                  const QLocale& locale);
