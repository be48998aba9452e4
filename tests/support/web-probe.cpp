// SPDX-License-Identifier: GPL-3.0-or-later
// The web page alone, for the page's tests: WebLink with group "Web" of the
// settings file, fed by polling the meter simulator's line when one is named.
// Prints "status: <text>" whenever the link's status changes.
#include "IniSettingsStore.h"
#include "PollCycle.h"
#include "QtSerialLink.h"
#include "ReadingsDisplay.h"
#include "WebLink.h"

#include <QCoreApplication>
#include <QTimer>
#include <cmath>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    IniSettingsStore store;
    WebLink web;
    QObject::connect(&web, &WebLink::statusChanged, [&] {
        std::printf("status: %s\n", qPrintable(web.statusText()));
        std::fflush(stdout);
    });
    web.applySettings(store);
    if (argc < 2)
        return app.exec();

    const QString device = QString::fromLocal8Bit(argv[1]);
    QtSerialLink port([device](int) { return device; });
    port.setPortNumber(5);
    port.setLineSettings(LineSettings{});
    port.setReadLength(0);
    port.open();
    web.setMeterAvailable(port.state() == QtSerialLink::State::Open);
    web.setHostLinked(true);
    QObject::connect(&port, &QtSerialLink::lost, [&] { web.setMeterAvailable(false); });
    QObject::connect(&port, &QtSerialLink::recovered, [&] { web.setMeterAvailable(true); });
    PollCycle cycle;
    PendingCommands pending;
    QObject::connect(&web, &WebLink::stepAlarmRequested, [&] { pending.stepAlarm = true; });
    QObject::connect(&web, &WebLink::togglePeakRequested, [&] { pending.togglePeak = true; });
    StatusRecord record;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        cycle.tick(port, pending, [&](const QString& reply) {
            DecodeStatusReply(reply, record);
            CalcVector(record);
            // Stands in for the run's alarm rule until the run object feeds the page.
            const auto state = static_cast<qint32>(record.alarmSetting);
            const double limit = 1.0 + 0.5 * state;
            const bool shown = state > 0 && record.swr >= limit && (state == 4 || record.power > 1);
            web.updateReading(record, state, shown);
        });
    });
    tick.start(50);
    return app.exec();
}
