// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationLog.h"

Q_LOGGING_CATEGORY(lcStation, "vossbridge.station")
