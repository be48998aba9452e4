// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramParts.h"

#include "PortMap.h"

ProgramParts::ProgramParts(SettingsStore& settings)
    : store(settings), port([this](int n) { return DeviceForPort(store, n); }),
      run(store, port, host), links(run, store)
{
    QObject::connect(&port, &QtSerialLink::lost, &run, &MeterRun::portLost);
    QObject::connect(&port, &QtSerialLink::recovered, &run, &MeterRun::portRecovered);
    QObject::connect(&host, &DBusHostLink::hostAppeared, &run, &MeterRun::linkHostAgain);
}
