// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterViewLog.h"

Q_LOGGING_CATEGORY(lcMeterView, "vossbridge.meterview")
