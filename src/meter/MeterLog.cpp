// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterLog.h"

Q_LOGGING_CATEGORY(lcMeter, "vossbridge.meter")
