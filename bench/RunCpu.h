// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program composed as it runs, on the meter simulator's line, and the
// CPU this process spends per poll tick of its run.
#include "FakeHostLink.h"
#include "FakeSettingsStore.h"
#include "MeterSimProcess.h"
#include "ProgramParts.h"
#include "RealLinks.h"
#include "StartUpSettings.h"

#include <QEventLoop>
#include <sys/resource.h>

inline double CpuMicroseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return 1e6 * double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// The run polls the simulator's line as port 5 every `pollPeriod` ms; no
// host takes the reports, as on a station without one.
struct SimulatedProgram {
    explicit SimulatedProgram(FakeSettingsStore& settings, qint16 pollPeriod)
        : sim({QStringLiteral("-e"), QStringLiteral("sweep on")}), store(settings)
    {
        store.values[QStringLiteral("Ports/Com5")] = sim.devicePath();
        StartUpSettings::PortNumber.save(store, 5);
        StartUpSettings::PollPeriod.save(store, pollPeriod);
        host.createLinks = false;
    }

    MeterSimProcess sim;
    FakeSettingsStore& store;
    RealLinks real{store};
    FakeHostLink host;
    ProgramParts parts{store, real.port, host};
};

// CPU of this process per tick over `ticks` of the running run's ticks.
inline double CpuPerTick(MeterRun& run, int ticks)
{
    int seen = 0;
    QEventLoop loop;
    const auto counting = QObject::connect(&run, &MeterRun::tickFinished, &loop, [&] {
        if (++seen == ticks)
            loop.quit();
    });
    const double start = CpuMicroseconds();
    // A plain event loop: the ticks alone wake the process.
    loop.exec();
    QObject::disconnect(counting);
    return (CpuMicroseconds() - start) / ticks;
}
