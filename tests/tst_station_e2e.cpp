// SPDX-License-Identifier: GPL-3.0-or-later
// The station link between Debian's rigctl (Hamlib's network client) and
// Debian's rigctld (the dummy rig), fed meter readings directly.
#include "FakeSettingsStore.h"
#include "RigDaemon.h"
#include "StationLink.h"
#include "StationLinkSettings.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {
StatusRecord Reading(double power, double rangeCode, double swr)
{
    StatusRecord r;
    r.received = true;
    r.power = power;
    r.rangeCode = rangeCode;
    r.swr = swr;
    return r;
}

// A raw client of the link: what it sends and gets back, byte for byte.
struct RawClient {
    QTcpSocket socket;
    explicit RawClient(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(2000);
    }
    QByteArray ask(const QByteArray& bytes, int expectLines = 1)
    {
        socket.write(bytes);
        QByteArray got;
        (void)QTest::qWaitFor(
            [&] {
                got += socket.readAll();
                return got.count('\n') >= expectLines ||
                       socket.state() != QAbstractSocket::ConnectedState;
            },
            8000);
        return got;
    }
};
} // namespace

class TestStationE2e : public QObject {
    Q_OBJECT

    FakeSettingsStore store_;
    std::unique_ptr<RigDaemon> rig_;
    std::unique_ptr<StationLink> link_;
    std::unique_ptr<PortHold> listenHold_;
    quint16 port_ = 0;

    void configure(const QString& rig, const QStringList& more = {})
    {
        store_.values.clear();
        listenHold_ = std::make_unique<PortHold>();
        port_ = listenHold_->port();
        store_.values["StationLink/Enabled"] = "true";
        store_.values["StationLink/Listen"] = QStringLiteral("127.0.0.1:%1").arg(port_);
        store_.values["StationLink/Rig"] = rig;
        for (const QString& kv : more)
            store_.values["StationLink/" + kv.section(u'=', 0, 0)] = kv.section(u'=', 1);
        link_->applySettings(store_);
    }
    // Link in front of a fresh dummy rig, relay connected.
    bool startRelay(const QStringList& more = {})
    {
        rig_ = std::make_unique<RigDaemon>();
        if (!rig_->waitUntilListening())
            return false;
        configure(rig_->address(), more);
        return QTest::qWaitFor([this] { return link_->statusText().contains(u"rig connected"); },
                               10000);
    }

private Q_SLOTS:
    void init()
    {
        link_ = std::make_unique<StationLink>();
        link_->setAnswerTimeout(1500);
    }
    void cleanup()
    {
        link_.reset();
        rig_.reset();
    }

    void readsMeterAndRig_data()
    {
        QTest::addColumn<double>("power");
        QTest::addColumn<double>("range");
        QTest::addColumn<double>("swr");
        QTest::addColumn<QString>("levels");
        QTest::newRow("2500 W range") << 1250.0 << 0.0 << 1.5 << "1.500000 1250.000000 0.500000";
        QTest::newRow("250 W range") << 100.0 << 1.0 << 2.25 << "2.250000 100.000000 0.400000";
        QTest::newRow("25 W range, over scale")
            << 30.0 << 2.0 << 1.0 << "1.000000 30.000000 1.000000";
    }
    void readsMeterAndRig()
    {
        QFETCH(double, power);
        QFETCH(double, range);
        QFETCH(double, swr);
        QFETCH(QString, levels);
        QVERIFY(startRelay());
        QCOMPARE(rig_->ask("F 7074000"), QByteArray("RPRT 0"));
        link_->updateReading(Reading(power, range, swr), 0);
        const RigctlRun run = RunRigctl(
            port_, {"l", "SWR", "l", "RFPOWER_METER_WATTS", "l", "RFPOWER_METER", "f", "m", "t"});
        QVERIFY(run.finished);
        QCOMPARE(RigctlValues(run.output), RigctlValues(levels + " 7074000 FM 15000 0"));
    }

    // Without the three levels in \dump_state, Hamlib clients never ask.
    void listingNamesMeterLevels_data()
    {
        QTest::addColumn<bool>("meterOnly");
        QTest::newRow("relay to a rig model without meter levels") << false;
        QTest::newRow("meter only") << true;
    }
    void listingNamesMeterLevels()
    {
        QFETCH(bool, meterOnly);
        SilentPty pty;
        QVERIFY(!pty.path().isEmpty());
        if (!meterOnly) {
            rig_ = std::make_unique<RigDaemon>(QStringList{"-m", "1006", "-r", pty.path()});
            QVERIFY(rig_->waitUntilListening());
            const RigctlRun direct = RunRigctl(rig_->port(), {"l", "?"});
            QVERIFY(!direct.output.contains(u"SWR"));
        }
        configure(meterOnly ? QString("") : rig_->address());
        if (!meterOnly)
            QTRY_VERIFY_WITH_TIMEOUT(link_->statusText().contains(u"rig connected"), 10000);
        link_->updateReading(Reading(10, 2, 1.2), 0);
        const RigctlRun run = RunRigctl(port_, {"l", "?", "l", "SWR"});
        const QStringList names = RigctlValues(run.output).split(u' ');
        for (const char* level : {"SWR", "RFPOWER_METER", "RFPOWER_METER_WATTS"})
            QVERIFY2(names.contains(QString::fromLatin1(level)), qPrintable(run.output));
        QVERIFY2(RigctlValues(run.output).endsWith(u" 1.2"), qPrintable(run.output));
    }

    void meterOnlyRefusesRigCommands()
    {
        configure(QString(""));
        QVERIFY(link_->statusText().contains(u"meter only"));
        RawClient c(port_);
        QCOMPARE(c.ask("f\n"), QByteArray("RPRT -11\n"));
        QCOMPARE(c.ask("+T 1\n", 2), QByteArray("set_ptt: 1\nRPRT -11\n"));
    }

    void protection_data()
    {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<double>("power");
        QTest::addColumn<double>("swr");
        QTest::addColumn<int>("alarmSetting");
        QTest::addColumn<bool>("trips");
        QTest::addColumn<bool>("holds"); // keying refused until acknowledged
        const QStringList on{"Protection=true", "Count=3"};
        QTest::newRow("on, meter alarm 2.0") << on << 100.0 << 2.0 << 2 << true << true;
        QTest::newRow("on, set limit 1.8")
            << (on + QStringList{"SwrLimit=1.8"}) << 100.0 << 1.9 << 0 << true << true;
        QTest::newRow("on, keying let through while latched")
            << (on + QStringList{"HoldUntilAcknowledged=false"}) << 100.0 << 3.0 << 2 << true
            << false;
        QTest::newRow("off stays keyed")
            << QStringList{"Count=3"} << 100.0 << 3.5 << 4 << false << false;
        QTest::newRow("below the power floor") << on << 5.0 << 3.5 << 4 << false << false;
        QTest::newRow("meter alarm off") << on << 100.0 << 3.5 << 0 << false << false;
        QTest::newRow("below the limit") << on << 100.0 << 1.4 << 1 << false << false;
    }
    void protection()
    {
        QFETCH(QStringList, settings);
        QFETCH(double, power);
        QFETCH(double, swr);
        QFETCH(int, alarmSetting);
        QFETCH(bool, trips);
        QFETCH(bool, holds);
        QVERIFY(startRelay(settings));
        QSignalSpy latched(link_.get(), &StationLink::alarmLatched);
        QSignalSpy changed(link_.get(), &StationLink::protectionChanged);
        const RigctlRun key = RunRigctl(port_, {"T", "1", "t"});
        QCOMPARE(RigctlValues(key.output), QString("1"));
        // Two replies over the limit are not yet three.
        for (int i = 0; i < 2; ++i)
            link_->updateReading(Reading(power, 1, swr), alarmSetting);
        QTest::qWait(300);
        QCOMPARE(rig_->ask("t"), QByteArray("1"));
        link_->updateReading(Reading(power, 1, swr), alarmSetting);
        QTRY_COMPARE_WITH_TIMEOUT(rig_->ask("t"), QByteArray(trips ? "0" : "1"), 10000);
        QCOMPARE(latched.size(), trips ? 1 : 0);
        QCOMPARE(link_->latchedAlarm().contains(QString::number(swr, 'f', 2)), trips);
        if (!trips)
            return;
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][1].toString(), link_->latchedAlarm());
        // Keyed again while latched, as a client does each transmit period:
        // refused (and the rig stays unkeyed), or let through when told so;
        // either way no second unkey.
        RawClient c(port_);
        QCOMPARE(c.ask("T 1\n"), QByteArray(holds ? "RPRT -9\n" : "RPRT 0\n"));
        QCOMPARE(c.ask("+\\set_ptt 3\n", 2),
                 QByteArray(holds ? "set_ptt: 3\nRPRT -9\n" : "set_ptt: 3\nRPRT 0\n"));
        QCOMPARE(c.ask("T 0\n"), QByteArray("RPRT 0\n"));
        // rigctl says why, then reads the rig unkeyed.
        const QString client = RunRigctl(port_, {"T", "1", "t"}).output;
        QCOMPARE(RigctlValues(client.section(u'\n', -1)), QString(holds ? "0" : "1"));
        QVERIFY2(client.contains(u"rejected") == holds, qPrintable(client));
        for (int i = 0; i < 4; ++i)
            link_->updateReading(Reading(power, 1, swr), alarmSetting);
        QTest::qWait(300);
        QCOMPARE(rig_->ask("t"), QByteArray(holds ? "0" : "1"));
        QCOMPARE(link_->refusedKeyings(), holds ? 3 : 0);
        QCOMPARE(link_->statusText().contains(u"3 keyings refused"), holds);
        link_->acknowledgeAlarm();
        QVERIFY(link_->latchedAlarm().isEmpty());
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed[1], (QVariantList{false, QString()}));
        QCOMPARE(c.ask("T 1\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(rig_->ask("t"), QByteArray("1"));
    }

    // A client that comes while the link still reaches the rig's daemon
    // (both started together, as a station's start script does) reads the
    // rig's own \dump_state; only a daemon that stays away leaves it with
    // the meter's levels alone.
    void earlyClient_data()
    {
        QTest::addColumn<bool>("daemonStarts");
        QTest::newRow("daemon started with the link") << true;
        QTest::newRow("daemon never comes") << false;
    }
    void earlyClient()
    {
        QFETCH(bool, daemonStarts);
        PortHold absent;
        if (daemonStarts)
            rig_ = std::make_unique<RigDaemon>();
        configure(daemonStarts ? rig_->address()
                               : QStringLiteral("127.0.0.1:%1").arg(absent.port()));
        link_->updateReading(Reading(10, 2, 1.2), 0);
        const RigctlRun run = RunRigctl(port_, {"l", "?", "l", "SWR"});
        QVERIFY(run.finished);
        const QStringList names = RigctlValues(run.output).split(u' ');
        for (const char* level : {"SWR", "RFPOWER_METER", "RFPOWER_METER_WATTS"})
            QVERIFY2(names.contains(QString::fromLatin1(level)), qPrintable(run.output));
        QCOMPARE(names.contains(QStringLiteral("PREAMP")), daemonStarts);
        QCOMPARE(names.constLast(), QString("1.2"));
    }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("staysOpen");
        QTest::newRow("garbage word")
            << QByteArray("hello world\n") << QByteArray("RPRT -1\n") << true;
        QTest::newRow("bare F") << QByteArray("F\n") << QByteArray("RPRT -1\n") << true;
        QTest::newRow("binary") << QByteArray("\x01\xff\x00\x7f\n", 5) << QByteArray("RPRT -1\n")
                                << true;
        QTest::newRow("overlong line") << QByteArray(5000, 'f') << QByteArray("RPRT -1\n") << false;
        QTest::newRow("q closes") << QByteArray("q\n") << QByteArray() << false;
    }
    void badInput()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, answer);
        QFETCH(bool, staysOpen);
        QVERIFY(startRelay());
        RawClient bad(port_);
        QCOMPARE(bad.ask(sent), answer);
        QTRY_COMPARE_WITH_TIMEOUT(bad.socket.state() == QAbstractSocket::ConnectedState, staysOpen,
                                  3000);
        // The rig's daemon saw none of it and still answers in step.
        QCOMPARE(RigctlValues(RunRigctl(port_, {"f"}).output), QString("145000000"));
        if (staysOpen)
            QCOMPARE(bad.ask("f\n"), QByteArray("145000000\n"));
    }

    void clientThatNeverReadsIsDropped()
    {
        QVERIFY(startRelay());
        RawClient greedy(port_);
        greedy.socket.setReadBufferSize(1);
        const QByteArray burst = QByteArray("\\dump_state\n").repeated(4000);
        greedy.socket.write(burst);
        QTRY_VERIFY_WITH_TIMEOUT(!link_->statusText().contains(u"1 client,"), 20000);
        QVERIFY(link_->statusText().contains(u"0 clients"));
        QCOMPARE(RigctlValues(RunRigctl(port_, {"f"}).output), QString("145000000"));
    }

    void clientVanishingMidCommand()
    {
        QVERIFY(startRelay());
        rig_->hang();
        {
            RawClient gone(port_);
            gone.socket.write("f\n");
            QTRY_VERIFY(link_->statusText().contains(u"1 client"));
        }
        QTest::qWait(200);
        rig_->resume();
        QTRY_VERIFY_WITH_TIMEOUT(link_->statusText().contains(u"0 clients"), 3000);
        // The late answer went nowhere; the next client gets its own.
        QTRY_VERIFY_WITH_TIMEOUT(link_->statusText().contains(u"rig connected"), 10000);
        RawClient next(port_);
        QCOMPARE(next.ask("m\n", 2), QByteArray("FM\n15000\n"));
    }

    void twentyClientsAtOnce()
    {
        QVERIFY(startRelay());
        link_->updateReading(Reading(50, 1, 1.3), 0);
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int i = 0; i < 20; ++i) {
            auto p = std::make_unique<QProcess>();
            p->start("rigctl",
                     {"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(port_), "f", "l", "SWR"});
            runs.push_back(std::move(p));
        }
        QVERIFY(QTest::qWaitFor(
            [&] {
                return std::all_of(runs.begin(), runs.end(), [](const auto& p) {
                    return p->state() == QProcess::NotRunning;
                });
            },
            60000));
        for (auto& p : runs)
            QCOMPARE(RigctlValues(QString::fromLocal8Bit(p->readAllStandardOutput())),
                     QString("145000000 1.3"));
    }

    void rigDaemonGoneHungAndBack()
    {
        QVERIFY(startRelay());
        link_->updateReading(Reading(50, 1, 1.3), 0);
        RawClient c(port_);
        QCOMPARE(c.ask("\\chk_vfo\n"), QByteArray("0\n"));

        rig_->hang();
        QCOMPARE(c.ask("f\n"), QByteArray("RPRT -5\n"));
        QTRY_VERIFY(link_->statusText().contains(u"rig retrying"));
        rig_->resume();
        QTRY_VERIFY_WITH_TIMEOUT(link_->statusText().contains(u"rig connected"), 10000);
        QCOMPARE(c.ask("f\n"), QByteArray("145000000\n"));

        rig_->stop();
        QTRY_VERIFY(link_->statusText().contains(u"rig retrying"));
        QCOMPARE(c.ask("f\n"), QByteArray("RPRT -6\n"));
        // Meter levels and the rig's last \dump_state keep working meanwhile.
        const QByteArray state = c.ask("\\dump_state\n", 40);
        QVERIFY(state.contains("rig_model=1\n"));
        QVERIFY(state.endsWith("done\n"));
        QCOMPARE(RigctlValues(RunRigctl(port_, {"l", "SWR"}).output), QString("1.3"));

        rig_->start();
        QTRY_VERIFY_WITH_TIMEOUT(link_->statusText().contains(u"rig connected"), 10000);
        QCOMPARE(c.ask("f\n"), QByteArray("145000000\n"));
    }

    void listenPortTaken()
    {
        QTcpServer squatter;
        if (!squatter.listen(QHostAddress::LocalHostIPv6, 0))
            QSKIP("no IPv6 loopback here");
        store_.values.clear();
        store_.values["StationLink/Enabled"] = "true";
        store_.values["StationLink/Rig"] = "";
        store_.values["StationLink/Listen"] = QStringLiteral("::1:%1").arg(squatter.serverPort());
        QSignalSpy changed(link_.get(), &StationLink::statusChanged);
        link_->applySettings(store_);
        QCOMPARE(link_->statusText(),
                 QStringLiteral("Station link: can't listen on [::1]:%1: in use")
                     .arg(squatter.serverPort()));
        QCOMPARE(link_->listenPort(), quint16(0));
        // Once the port is free again the link takes it by itself.
        const quint16 port = squatter.serverPort();
        squatter.close();
        QTRY_COMPARE_WITH_TIMEOUT(link_->listenPort(), port, 5000);
        QVERIFY(changed.size() >= 2);
        QCOMPARE(link_->statusText(),
                 QStringLiteral("Station link [::1]:%1: meter only, 0 clients").arg(port));
    }

    void settingsApplyAtOnce()
    {
        configure(QString(""));
        const quint16 first = port_;
        RawClient c(first);
        QCOMPARE(c.ask("\\chk_vfo\n"), QByteArray("0\n"));
        QVERIFY(startRelay());
        QVERIFY(port_ != first);
        QCOMPARE(link_->listenPort(), port_);
        store_.values["StationLink/Enabled"] = "false";
        link_->applySettings(store_);
        QCOMPARE(link_->statusText(), QString("Station link: off"));
        QCOMPARE(link_->listenPort(), quint16(0));
    }
};

QTEST_GUILESS_MAIN(TestStationE2e)
#include "tst_station_e2e.moc"
