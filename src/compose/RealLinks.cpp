// SPDX-License-Identifier: GPL-3.0-or-later
#include "RealLinks.h"

#include "PortMap.h"

RealLinks::RealLinks(SettingsStore& store)
    : port([&store](int n) { return DeviceForPort(store, n); })
{
}
