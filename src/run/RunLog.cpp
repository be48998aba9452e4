// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunLog.h"

Q_LOGGING_CATEGORY(lcRun, "vossbridge.run")
