// SPDX-License-Identifier: GPL-3.0-or-later
// The station link between Debian's rigctl (Hamlib's network client) and
// Debian's rigctld (the dummy rig), fed meter readings directly.
#include "FakeSettingsStore.h"
#include "StationLink.h"
#include "StationLinkSettings.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

// Debian's Hamlib programs for the station link's tests: rigctld as the rig
// and rigctl as the client, on loopback ports picked free.

// A loopback port nobody listens on right now.
inline quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A silent pseudo-terminal for a rig model that needs a serial device.
class SilentPty {
public:
    SilentPty()
    {
        fd_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (fd_ >= 0 && grantpt(fd_) == 0 && unlockpt(fd_) == 0)
            path_ = QString::fromLocal8Bit(ptsname(fd_));
    }
    ~SilentPty()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    QString path() const { return path_; }

private:
    int fd_ = -1;
    QString path_;
};

// rigctld on a loopback port of its own.
class RigDaemon {
public:
    explicit RigDaemon(const QStringList& rigArguments = {"-m", "1", "-P", "RIG"}, quint16 port = 0)
        : port_(port ? port : FreePort()), arguments_(rigArguments)
    {
        start();
    }
    ~RigDaemon() { stop(); }

    void start()
    {
        process_.setProgram(QStringLiteral("rigctld"));
        process_.setArguments(arguments_ +
                              QStringList{"-T", "127.0.0.1", "-t", QString::number(port_)});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
    }
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(process_.processId()), SIGCONT);
        process_.kill();
        process_.waitForFinished(5000);
    }
    // Stops answering without closing anything, as a daemon stuck on its rig.
    void hang() { ::kill(static_cast<pid_t>(process_.processId()), SIGSTOP); }
    void resume() { ::kill(static_cast<pid_t>(process_.processId()), SIGCONT); }

    bool waitUntilListening()
    {
        return QTest::qWaitFor(
            [this] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port_);
                return probe.waitForConnected(200);
            },
            10000);
    }
    quint16 port() const { return port_; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

    // One command straight to the daemon, its answer trimmed.
    QByteArray ask(const QByteArray& line)
    {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port_);
        if (!s.waitForConnected(2000))
            return "no connection";
        s.write(line + '\n');
        s.waitForReadyRead(2000);
        return s.readAll().trimmed();
    }

private:
    quint16 port_;
    QStringList arguments_;
    QProcess process_;
};

// One rigctl run as a Hamlib network client ("NET rigctl", model 2). Waits
// with the event loop running, so a server in the test process answers.
struct RigctlRun {
    QString output;
    bool finished = false;
};
inline RigctlRun RunRigctl(quint16 port, const QStringList& commands, int timeoutMs = 15000)
{
    QProcess p;
    p.setProgram(QStringLiteral("rigctl"));
    p.setArguments(QStringList{"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(port)} +
                   commands);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start();
    RigctlRun run;
    run.finished = QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, timeoutMs);
    if (!run.finished)
        p.kill();
    p.waitForFinished(1000);
    run.output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return run;
}
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
    quint16 port_ = 0;

    void configure(const QString& rig, const QStringList& more = {})
    {
        store_.values.clear();
        port_ = FreePort();
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
        QCOMPARE(run.output.split(u'\n').join(u' '), levels + " 7074000 FM 15000 0");
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
        const QStringList names = run.output.split(u' ');
        for (const char* level : {"SWR", "RFPOWER_METER", "RFPOWER_METER_WATTS"})
            QVERIFY2(names.contains(QString::fromLatin1(level)), qPrintable(run.output));
        QVERIFY2(run.output.endsWith(u"1.200000"), qPrintable(run.output));
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
        QTest::addColumn<int>("alarmState");
        QTest::addColumn<bool>("trips");
        const QStringList on{"Protection=true", "Count=3"};
        QTest::newRow("on, meter alarm 2.0") << on << 100.0 << 2.0 << 2 << true;
        QTest::newRow("on, set limit 1.8")
            << (on + QStringList{"SwrLimit=1.8"}) << 100.0 << 1.9 << 0 << true;
        QTest::newRow("off stays keyed") << QStringList{"Count=3"} << 100.0 << 3.5 << 4 << false;
        QTest::newRow("below the power floor") << on << 5.0 << 3.5 << 4 << false;
        QTest::newRow("meter alarm off") << on << 100.0 << 3.5 << 0 << false;
        QTest::newRow("below the limit") << on << 100.0 << 1.4 << 1 << false;
    }
    void protection()
    {
        QFETCH(QStringList, settings);
        QFETCH(double, power);
        QFETCH(double, swr);
        QFETCH(int, alarmState);
        QFETCH(bool, trips);
        QVERIFY(startRelay(settings));
        QSignalSpy latched(link_.get(), &StationLink::alarmLatched);
        const RigctlRun key = RunRigctl(port_, {"T", "1", "t"});
        QCOMPARE(key.output, QString("1"));
        // Two replies over the limit are not yet three.
        for (int i = 0; i < 2; ++i)
            link_->updateReading(Reading(power, 1, swr), alarmState);
        QTest::qWait(300);
        QCOMPARE(rig_->ask("t"), QByteArray("1"));
        link_->updateReading(Reading(power, 1, swr), alarmState);
        QTRY_COMPARE_WITH_TIMEOUT(rig_->ask("t"), QByteArray(trips ? "0" : "1"), 3000);
        QCOMPARE(latched.size(), trips ? 1 : 0);
        QCOMPARE(link_->latchedAlarm().contains(QString::number(swr, 'f', 2)), trips);
        if (!trips)
            return;
        // Keyed again while latched: let through, and no second unkey.
        QCOMPARE(RunRigctl(port_, {"T", "1", "t"}).output, QString("1"));
        for (int i = 0; i < 4; ++i)
            link_->updateReading(Reading(power, 1, swr), alarmState);
        QTest::qWait(300);
        QCOMPARE(rig_->ask("t"), QByteArray("1"));
        link_->acknowledgeAlarm();
        QVERIFY(link_->latchedAlarm().isEmpty());
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
        QCOMPARE(RunRigctl(port_, {"f"}).output, QString("145000000"));
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
        QCOMPARE(RunRigctl(port_, {"f"}).output, QString("145000000"));
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
            QCOMPARE(QString::fromLocal8Bit(p->readAllStandardOutput()).trimmed(),
                     QString("145000000\n1.300000"));
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
        QCOMPARE(RunRigctl(port_, {"l", "SWR"}).output, QString("1.300000"));

        rig_->start();
        QTRY_VERIFY_WITH_TIMEOUT(link_->statusText().contains(u"rig connected"), 10000);
        QCOMPARE(c.ask("f\n"), QByteArray("145000000\n"));
    }

    void listenPortTaken()
    {
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::LocalHost, 0));
        store_.values.clear();
        store_.values["StationLink/Enabled"] = "true";
        store_.values["StationLink/Rig"] = "";
        store_.values["StationLink/Listen"] =
            QStringLiteral("127.0.0.1:%1").arg(squatter.serverPort());
        QSignalSpy changed(link_.get(), &StationLink::statusChanged);
        link_->applySettings(store_);
        QVERIFY(link_->statusText().contains(u"port in use"));
        QCOMPARE(link_->listenPort(), quint16(0));
        // Once the port is free again the link takes it by itself.
        const quint16 port = squatter.serverPort();
        squatter.close();
        QTRY_COMPARE_WITH_TIMEOUT(link_->listenPort(), port, 5000);
        QVERIFY(changed.size() >= 2);
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
