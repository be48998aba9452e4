// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DBusHostLink.h"
#include "PosixSerialLink.h"

class SettingsStore;

// The links a run has in the field: the meter's serial line, its devices
// named by the stored [Ports] group, and the host on the session bus.
struct RealLinks {
    explicit RealLinks(SettingsStore& store);

    PosixSerialLink port;
    DBusHostLink host;
};
