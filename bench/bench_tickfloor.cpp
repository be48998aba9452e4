// SPDX-License-Identifier: GPL-3.0-or-later
// The least a tick can cost with the program's own parts and no window: poll
// the meter, take the reply, decode it and send the tick's two reports to the
// host, every 50 ms. The tick-cost benchmark runs it beside the program.
// Usage: bench_tickfloor <device> [period-ms]
#include "DBusHostLink.h"
#include "HostReport.h"
#include "PollCycle.h"
#include "QtSerialLink.h"
#include "StatusReply.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_tickfloor <device> [period-ms]\n");
        return 2;
    }
    const QString device = args.at(1);
    const int period = args.size() > 2 ? args.at(2).toInt() : 50;

    QtSerialLink port([device](int) { return device; });
    port.setPortNumber(5);
    port.setLineSettings(LineSettings{});
    port.setReadLength(0);
    if (!port.open()) {
        std::fprintf(stderr, "can't open %s\n", qPrintable(device));
        return 1;
    }
    DBusHostLink host;
    QObject::connect(&host, &DBusHostLink::hostAppeared, &host, &DBusHostLink::createLink);
    host.createLink();

    PollCycle cycle;
    PendingCommands pending;
    StatusRecord record;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &app, [&] {
        cycle.tick(port, pending, [&](const QString& reply) { DecodeStatusReply(reply, record); });
        if (!host.isLinked())
            return;
        const auto alarm = static_cast<int>(record.alarmSetting);
        bool answered = host.reportValue(SwrReport, alarm, record.swr, QString());
        if (const auto plan = PlanPowerReport(record.rangeCode, record.power); plan && answered)
            answered = host.reportValue(PowerReport, plan->index, plan->reportedPower, QString());
        if (!answered)
            host.clear();
    });
    timer.start(period);
    return QCoreApplication::exec();
}
