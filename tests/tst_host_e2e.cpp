// SPDX-License-Identifier: GPL-3.0-or-later
// The window reporting the meter simulator's readings to the reference host
// on a private session bus, and riding out a host that fails.
#include "HostProcess.h"
#include "Station.h"

#include <QTest>

namespace {
const QStringList Meter{QStringLiteral("-e"), QStringLiteral("power 100"),
                        QStringLiteral("-e"), QStringLiteral("swr 1.2"),
                        QStringLiteral("-e"), QStringLiteral("alarm 2"),
                        QStringLiteral("-e"), QStringLiteral("range 1")};
const QString SwrLine = QStringLiteral("34 2 1.2 \"\"");
const QString PowerLine = QStringLiteral("33 2 100 \"\"");
} // namespace

class TestHostEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(QDBusConnection::sessionBus().isConnected()); }

    void hostReceivesTheMetersReadings()
    {
        HostProcess host;
        QVERIFY(host.waitUntilOnBus());
        Station station(80, Meter);
        QVERIFY(station.reachSteadyState());
        QTRY_VERIFY(host.reports().contains(PowerLine));
        // Every tick reports SWR first, then power.
        const QStringList reports = host.reports();
        const qsizetype first = reports.indexOf(SwrLine);
        QVERIFY(first >= 0);
        QCOMPARE(reports.at(first + 1), PowerLine);
        QCOMPARE(station.window->windowTitle(), QStringLiteral("Vossbridge"));
        QCOMPARE(station.window->controls().rangeLabel->text(), QStringLiteral(" 250"));
    }

    void noHostAtStartThenHostArrives()
    {
        QVERIFY(!HostProcess::onBus());
        Station station(80, Meter);
        QVERIFY(station.reachSteadyState());
        QVERIFY(station.pollsOn(10));
        QVERIFY(station.window->windowTitle().contains(QStringLiteral("no host")));

        HostProcess host;
        QVERIFY(host.waitUntilOnBus());
        QTRY_VERIFY(host.reports().contains(PowerLine));
        QTRY_COMPARE(station.window->windowTitle(), QStringLiteral("Vossbridge"));
    }

    void hostKilledMidRunAndBack()
    {
        auto host = std::make_unique<HostProcess>();
        QVERIFY(host->waitUntilOnBus());
        Station station(50, Meter);
        QVERIFY(station.reachSteadyState());
        QTRY_VERIFY(host->reports().contains(PowerLine));

        host.reset();
        QTRY_VERIFY(station.window->windowTitle().contains(QStringLiteral("no host")));
        QVERIFY(station.pollsOn(10));

        host = std::make_unique<HostProcess>();
        QVERIFY(host->waitUntilOnBus());
        QTRY_VERIFY(host->reports().contains(PowerLine));
        QVERIFY(station.pollsOn(10));
    }

    // A host that never answers costs one timed-out call, then polling goes on.
    void hungHostDoesNotStopPolling()
    {
        HostProcess host({QStringLiteral("--hang")});
        QVERIFY(host.waitUntilOnBus());
        Station station(50, Meter);
        QVERIFY(station.reachSteadyState());
        QTRY_VERIFY(station.window->windowTitle().contains(QStringLiteral("no host")));
        QCOMPARE(station.host.lastError(), QStringLiteral("org.freedesktop.DBus.Error.NoReply"));
        QVERIFY(station.pollsOn(40));
        QVERIFY(host.reports().isEmpty());
    }

    void refusedReportsDropTheLink()
    {
        HostProcess host({QStringLiteral("--fail-reports")});
        QVERIFY(host.waitUntilOnBus());
        Station station(50, Meter);
        QVERIFY(station.reachSteadyState());
        QTRY_VERIFY(station.window->windowTitle().contains(QStringLiteral("no host")));
        QVERIFY(station.pollsOn(20));
    }
};

QTEST_MAIN(TestHostEndToEnd)
#include "tst_host_e2e.moc"
