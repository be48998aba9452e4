// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttLog.h"

Q_LOGGING_CATEGORY(lcMqtt, "vossbridge.mqtt")
