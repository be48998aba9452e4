// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterLog.h"

// Debug messages show with QT_LOGGING_RULES="vossbridge.*.debug=true".
Q_LOGGING_CATEGORY(lcMeter, "vossbridge.meter", QtInfoMsg)
