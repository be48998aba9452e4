// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostLog.h"

Q_LOGGING_CATEGORY(lcHost, "vossbridge.host")
