// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordLog.h"

Q_LOGGING_CATEGORY(lcRecord, "vossbridge.record")
