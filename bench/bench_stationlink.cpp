// SPDX-License-Identifier: GPL-3.0-or-later
// The station link's costs, each as a ratio against a run beside it:
// - one rigctl run (connect, "f", close) through the link / straight to rigctld;
// - the process's CPU time over 50 ms reading updates with 8 Hamlib clients
//   polling the meter's levels at 10 Hz / with none.
// "bench_stationlink --poll PORT" is the polling clients' own process.
#include "FakeSettingsStore.h"
#include "PortHold.h"
#include "StationLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <ctime>

namespace {
double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Wall time of one rigctl run, in ms, with the event loop running.
double RigctlRun(quint16 port)
{
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    // A real event loop: QTest::qWaitFor sleeps between its polls, which
    // would hold up the link living in this process.
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    p.start(QStringLiteral("rigctl"),
            {"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(port), "f"});
    loop.exec();
    if (p.state() != QProcess::NotRunning)
        p.kill();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (!p.readAll().trimmed().startsWith("1"))
        std::fprintf(stderr, "rigctl run on port %u failed\n", port);
    return ms;
}

int Poll(quint16 port)
{
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 8; ++i) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QHostAddress::LocalHost, port);
        QTcpSocket* raw = s.get();
        QObject::connect(raw, &QTcpSocket::readyRead, raw, [raw] { raw->readAll(); });
        clients.push_back(std::move(s));
    }
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&clients] {
        for (auto& s : clients)
            s->write("l SWR\nl RFPOWER_METER_WATTS\nl RFPOWER_METER\n");
    });
    tick.start(100);
    return QCoreApplication::exec();
}

// CPU seconds of this process over `seconds` of 50 ms reading updates.
double TickCpu(StationLink& link, double seconds)
{
    StatusRecord r;
    r.received = true;
    r.power = 100;
    r.rangeCode = 1;
    r.swr = 1.4;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&link, &r] {
        r.power = r.power > 200 ? 10 : r.power + 1;
        link.updateReading(r, 2);
    });
    tick.start(50);
    const double start = CpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    return CpuSeconds() - start;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == u"--poll")
        return Poll(quint16(args[2].toUInt()));

    // Held for the servers' whole run, so nothing else takes them.
    const PortHold rigHold;
    const PortHold linkHold;
    const quint16 rigPort = rigHold.port();
    QProcess rig;
    rig.start(QStringLiteral("rigctld"),
              {"-m", "1", "-T", "127.0.0.1", "-t", QString::number(rigPort)});
    QTest::qWait(500);

    FakeSettingsStore store;
    const quint16 linkPort = linkHold.port();
    store.values["StationLink/Enabled"] = "true";
    store.values["StationLink/Listen"] = QStringLiteral("127.0.0.1:%1").arg(linkPort);
    store.values["StationLink/Rig"] = QStringLiteral("127.0.0.1:%1").arg(rigPort);
    StationLink link;
    link.applySettings(store);
    if (!QTest::qWaitFor([&link] { return link.statusText().contains(u"rig connected"); }, 5000)) {
        std::fprintf(stderr, "the link did not reach rigctld: %s\n", qPrintable(link.statusText()));
        return 1;
    }

    if (qEnvironmentVariableIsSet("BENCH_STATIONLINK_SERVE")) {
        std::printf("link %u rig %u\n", linkPort, rigPort);
        std::fflush(stdout);
        return QCoreApplication::exec();
    }
    constexpr int Runs = 20;
    double direct = 0;
    double through = 0;
    for (int i = 0; i < Runs; ++i) {
        direct += RigctlRun(rigPort);
        through += RigctlRun(linkPort);
    }
    std::printf("rigctl run (connect, f, close): straight %.1f ms, through the link %.1f ms, "
                "ratio %.2f (goal < 1.2)\n",
                direct / Runs, through / Runs, through / direct);

    constexpr double Seconds = 5;
    const double idle = TickCpu(link, Seconds);
    QProcess pollers;
    pollers.start(QCoreApplication::applicationFilePath(), {"--poll", QString::number(linkPort)});
    if (!QTest::qWaitFor([&link] { return link.statusText().contains(u"8 clients"); }, 5000))
        std::fprintf(stderr, "the polling clients did not all connect\n");
    const double polled = TickCpu(link, Seconds);
    pollers.kill();
    pollers.waitForFinished(2000);
    std::printf("CPU over %.0f s of 50 ms updates: no clients %.1f ms, 8 clients polling at "
                "10 Hz %.1f ms, ratio %.2f\n",
                Seconds, idle * 1000, polled * 1000, polled / std::max(idle, 1e-6));
    rig.kill();
    rig.waitForFinished(2000);
    return 0;
}
