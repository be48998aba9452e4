// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatusReply.h"

#include <QLocale>
#include <QString>

// The readings' text forms, shared by the window and everything that shows
// a reading without it.

// Plain decimal text with up to 15 significant digits, no trailing zeros and
// no thousands separator (50 gives "50", 12.5 gives "12.5").
QString GeneralNumberText(double value, const QLocale& locale);
// "###0.00": at least one digit before the separator, two after (0 gives "0.00").
QString PowerText(double value, const QLocale& locale);
// "#.00": two digits after the separator, none before it when the whole
// part is 0 (0 gives ".00", 0.5 gives ".50").
QString SwrText(double value, const QLocale& locale);
// What a vector value shows while the meter's gate says it means nothing:
// "0.00" with a point in every locale, as the window has always shown it.
QString NoVectorValueText();
