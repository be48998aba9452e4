// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialDevicesLog.h"

Q_LOGGING_CATEGORY(lcSerialDevices, "vossbridge.serialdevices")
