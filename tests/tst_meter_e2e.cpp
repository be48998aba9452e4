// SPDX-License-Identifier: GPL-3.0-or-later
// The window polling the meter simulator through the real serial link on a
// pseudo-terminal, with the settings in a scratch INI file.
#include "Station.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestMeterEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Never touch the user's own settings.
        QVERIFY(qEnvironmentVariable("XDG_CONFIG_HOME").startsWith(QDir::tempPath()) ||
                qEnvironmentVariable("XDG_CONFIG_HOME").contains(QStringLiteral("/tests/")));
    }

    void nearlyEveryTickAcceptsOneWholeReply_data()
    {
        QTest::addColumn<int>("pollPeriod");
        QTest::newRow("80 ms") << 80;
        QTest::newRow("50 ms") << 50;
    }
    void nearlyEveryTickAcceptsOneWholeReply()
    {
        QFETCH(int, pollPeriod);
        Station station(pollPeriod, {QStringLiteral("-e"), QStringLiteral("sweep on")});
        QVERIFY(station.reachSteadyState());
        QCOMPARE(int(station.window->run().pollPeriod()), pollPeriod);

        constexpr int Ticks = 500;
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(station.waitForTicks([&] { return station.outcomes.size() >= Ticks; },
                                     Ticks * pollPeriod * 4 + 10000));
        const double seconds = static_cast<double>(elapsed.elapsed()) / 1000;
        const QList<TickOutcome> counted = station.outcomes.mid(0, Ticks);
        const auto accepted = counted.count(TickOutcome::Accepted);
        const double perSecond = static_cast<double>(accepted) / seconds;
        qInfo("%lld of %d ticks accepted a whole reply at %d ms: %.1f readings a second",
              qlonglong(accepted), Ticks, pollPeriod, perSecond);
        QVERIFY(Station::PolledSteadily(counted));
        // At least half the readings the poll period asks for, a second.
        QVERIFY2(perSecond * pollPeriod >= 500, qPrintable(QString::number(perSecond)));
    }

    void oneShotCommandsReachTheMeterAfterAnAcceptedReply()
    {
        Station station(80, {QStringLiteral("-e"), QStringLiteral("alarm 2")});
        QVERIFY(station.reachSteadyState());
        QCOMPARE(station.window->run().record().alarmSetting, 2.0);
        QCOMPARE(station.window->run().record().peakFlag, 0.0);

        // The outcome of the tick that sends the commands.
        std::optional<TickOutcome> sendingTick;
        QObject::connect(station.window.get(), &MainWindow::tickFinished, station.window.get(),
                         [&](TickOutcome o) {
                             if (!sendingTick && !station.window->run().pendingCommands().any())
                                 sendingTick = o;
                         });
        station.window->stepAlarm();
        station.window->togglePeak();
        QTRY_VERIFY(sendingTick.has_value());
        QCOMPARE(*sendingTick, TickOutcome::Accepted);

        QTRY_VERIFY(station.sim.received().contains(QStringLiteral(";F?")));
        const QStringList rx = station.sim.received();
        const qsizetype a = rx.indexOf(QStringLiteral(";A?"));
        QVERIFY(a > 0);
        QCOMPARE(rx.mid(a - 1, 3), QStringList({QStringLiteral(";P?"), QStringLiteral(";A?"),
                                                QStringLiteral(";F?")}));
        QCOMPARE(rx.count(QStringLiteral(";A?")), 1);
        // The meter took them: later replies carry the new settings.
        QTRY_COMPARE(station.window->run().record().alarmSetting, 3.0);
        QTRY_COMPARE(station.window->run().record().peakFlag, 1.0);
    }

    void hangUpLeavesProgramRunningWithPortClosed()
    {
        Station station(50);
        QVERIFY(station.reachSteadyState());
        QSignalSpy lost(&station.port, &SerialLink::lost);
        const QString lastReply = station.window->controls().replyBox->text();

        station.sim.send(QStringLiteral("hangup"));
        QTRY_VERIFY(station.window->windowTitle().contains(QStringLiteral("port lost")));
        QVERIFY(!station.port.isOpen());
        QCOMPARE(station.port.state(), PosixSerialLink::State::Lost);

        // Polling goes on with the port closed, and the dead line is not spun on.
        station.outcomes.clear();
        QTRY_VERIFY_WITH_TIMEOUT(station.outcomes.size() >= 10, 20000);
        QVERIFY(!station.outcomes.contains(TickOutcome::Accepted));
        QCOMPARE(station.outcomes.last(), TickOutcome::PortClosed);
        QVERIFY(station.window->run().isPolling());
        QVERIFY(station.window->isVisible());
        QCOMPARE(lost.count(), 1);
        QVERIFY(!station.window->controls().portList->toolTip().isEmpty());
        // The readings stay as the last accepted reply left them.
        QVERIFY(!lastReply.isEmpty());
        QTRY_VERIFY(!station.sim.isRunning());
    }

    void unpluggedAdapterComesBack()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("meter"));
        Station station(50, {QStringLiteral("--link"), name});
        // The adapter's stable name, as /dev/serial/by-id gives it.
        station.store.save(QStringLiteral("Ports"), QStringLiteral("Com5"), name);
        QVERIFY(station.reachSteadyState());

        station.sim.send(QStringLiteral("hangup"));
        QTRY_VERIFY(station.window->windowTitle().contains(QStringLiteral("port lost")));
        QTRY_VERIFY(!station.sim.isRunning());

        MeterSimProcess pluggedIn({QStringLiteral("--link"), name});
        QVERIFY(!pluggedIn.devicePath().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(
            !station.window->windowTitle().contains(QStringLiteral("port lost")), 10000);
        QVERIFY(station.pollsOn(20));
        QTRY_VERIFY(pluggedIn.received().count(QStringLiteral(";P?")) >= 20);
    }

    // Found by driving the window by hand: after a loss, a pick that fails or
    // Help > About must leave the lost device alone until the user says so.
    void lostDeviceStaysClosedUntilTheUserReturns_data()
    {
        QTest::addColumn<bool>("viaAbout");
        QTest::newRow("a pick of a port that can't be opened") << false;
        QTest::newRow("Help > About") << true;
    }
    void lostDeviceStaysClosedUntilTheUserReturns()
    {
        QFETCH(bool, viaAbout);
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("meter"));
        const QString other = dir.filePath(QStringLiteral("other"));
        Station station(50, {QStringLiteral("--link"), name});
        station.store.save(QStringLiteral("Ports"), QStringLiteral("Com5"), name);
        station.store.save(QStringLiteral("Ports"), QStringLiteral("Com7"), other);
        QStringList messages;
        station.window->showMessage = [&](const QString& text, const QString&) {
            messages << text;
        };
        QVERIFY(station.reachSteadyState());
        QVERIFY(QTest::qWaitForWindowActive(station.window.get()));

        station.sim.send(QStringLiteral("hangup"));
        QTRY_VERIFY(station.window->windowTitle().contains(QStringLiteral("port lost")));
        QTRY_VERIFY(!station.sim.isRunning());
        if (viaAbout) {
            station.window->showAbout();
            QVERIFY(QTest::qWaitForWindowActive(station.window->aboutDialog()));
        } else {
            const auto list = station.window->controls().portList;
            list->setCurrentIndex(6);
            Q_EMIT list->activated(6);
            QCOMPARE(messages.size(), 1);
        }

        // Both devices appear; neither is opened behind the user's back.
        MeterSimProcess back({QStringLiteral("--link"), name});
        MeterSimProcess picked({QStringLiteral("--link"), other});
        QVERIFY(!back.devicePath().isEmpty() && !picked.devicePath().isEmpty());
        QTest::qWait(3 * PosixSerialLink::ReopenIntervalMs);
        QVERIFY(!station.port.isOpen());
        QVERIFY(back.received().isEmpty());
        QVERIFY(picked.received().isEmpty());

        // Returning to the window, or picking a port, opens and polls it.
        if (viaAbout) {
            station.window->activateWindow();
        } else {
            const auto list = station.window->controls().portList;
            list->setCurrentIndex(4);
            Q_EMIT list->activated(4);
        }
        QVERIFY(station.pollsOn(10));
        QTRY_VERIFY(back.received().count(QStringLiteral(";P?")) >= 10);
        QVERIFY(picked.received().isEmpty());
    }
};

QTEST_MAIN(TestMeterEndToEnd)
#include "tst_meter_e2e.moc"
