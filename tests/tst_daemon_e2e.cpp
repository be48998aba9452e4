// SPDX-License-Identifier: GPL-3.0-or-later
// vossbridged as systemd runs it, the test in systemd's place: notify, watchdog, reload.
#include "MeterSimProcess.h"
#include "MosquittoBroker.h"

#include <QSettings>
#include <QWebSocket>
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/un.h>

namespace {
// vossbridged on `device` and `settings` (INI), notifying the test, with a watchdog of 1 s.
struct Daemon {
    explicit Daemon(const QString& device, const QString& settings = {}, int log = 2)
    {
        QFile ini(dir.filePath("Vossbridge.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(("[Ports]\nCom5=" + device + "\n[StartUp]\nPollrate=50\n" + settings).toUtf8());
        ini.close();
        sockaddr_un a{AF_UNIX, {}};
        qstrncpy(a.sun_path, qPrintable(dir.filePath("notify")), sizeof a.sun_path);
        ::bind(notify, reinterpret_cast<sockaddr*>(&a), sizeof a);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NOTIFY_SOCKET", a.sun_path);
        env.insert("WATCHDOG_USEC", "1000000");
        process.setProcessEnvironment(env);
        process.setChildProcessModifier([log] { ::dup2(log, 2); });
        process.start(VOSSBRIDGE_BIN_DIR "/vossbridged", {"--settings", ini.fileName()});
    }
    ~Daemon() { ::close(notify); }
    // Whether a message holding `text` comes within `ms`; those before it are gone.
    bool says(const QByteArray& text, int ms = 20000)
    {
        char b[4096];
        return QTest::qWaitFor(
            [&] {
                const ssize_t n = ::recv(notify, b, sizeof b, 0);
                return n > 0 && QByteArray(b, n).contains(text);
            },
            ms);
    }
    void hangUp() { ::kill(pid_t(process.processId()), SIGHUP); }

    QTemporaryDir dir;
    QProcess process;
    int notify = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
};
} // namespace

class TestDaemonEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pollsPingsAndReloadsOnlyWhatChanged()
    {
        QTemporaryDir scratch;
        MeterSimProcess sim({"--link", scratch.filePath("meter")});
        MosquittoBroker first, second;
        PortHold web, station;
        const auto at = [](quint16 port) { return QStringLiteral("127.0.0.1:%1").arg(port); };
        const QString links =
            QStringLiteral("[Mqtt]\nEnabled=true\nBroker=%1\n[Web]\nEnabled=true\n"
                           "Listen=%2\n[StationLink]\nEnabled=true\nListen=%3\n");
        QVERIFY(!sim.devicePath().isEmpty());
        Daemon d(scratch.filePath("meter"),
                 links.arg(at(first.port()), at(web.port()), at(station.port())));
        QVERIFY(d.says("READY=1\nSTATUS=polling port 5 every 50 ms"));
        QVERIFY(d.says("WATCHDOG=1") && d.says("WATCHDOG=1") && d.says("WATCHDOG=1"));
        // No window library is linked or loaded.
        QProcess readelf;
        readelf.start("readelf", {"-d", VOSSBRIDGE_BIN_DIR "/vossbridged"});
        QFile maps(QStringLiteral("/proc/%1/maps").arg(d.process.processId()));
        QVERIFY(readelf.waitForFinished() && maps.open(QIODevice::ReadOnly));
        const QByteArray both = readelf.readAll() + maps.readAll();
        QVERIFY(both.contains("libQt6Core"));
        for (const char* library : {"libQt6Gui", "libQt6Widgets", "libQt6Charts"})
            QVERIFY2(!both.contains(library), library);
        auto connects = [](auto& broker) { return broker.log().count("New client connected"); };
        QWebSocket page;
        page.open(QUrl("ws://" + at(web.port()) + "/ws"));
        QTcpSocket hamlib;
        hamlib.connectToHost(QHostAddress::LocalHost, station.port());
        QTRY_VERIFY_WITH_TIMEOUT(connects(first) == 1 && page.isValid() &&
                                     hamlib.state() == QTcpSocket::ConnectedState,
                                 20000);
        // An unchanged file restarts nothing; a changed broker, MQTT alone.
        d.hangUp();
        QVERIFY(d.says("READY=1"));
        QSettings(d.dir.filePath("Vossbridge.ini"), QSettings::IniFormat)
            .setValue("Mqtt/Broker", at(second.port()));
        d.hangUp();
        QVERIFY(d.says("READY=1"));
        QTRY_COMPARE_WITH_TIMEOUT(connects(second), 1, 20000);
        QTest::qWait(1000); // for a reconnection or a hang-up that must not come
        QCOMPARE(connects(first), 1);
        QVERIFY(page.isValid() && hamlib.state() == QTcpSocket::ConnectedState);
        d.process.terminate();
        QVERIFY(d.says("STOPPING=1"));
        QTRY_COMPARE_WITH_TIMEOUT(d.process.state(), QProcess::NotRunning, 20000);
    }

    void pingsWhileUnpluggedButNotWhenStalled()
    {
        // The log's reader stops reading: once its pipe is full, the next
        // line blocks the run; each reload writes one.
        int pipe[2];
        QVERIFY(::pipe2(pipe, O_CLOEXEC) == 0 && ::fcntl(pipe[1], F_SETPIPE_SZ, 4096) > 0);
        Daemon d("/dev/null/meter", {}, pipe[1]);
        ::close(pipe[1]);
        QVERIFY(d.says("READY=1\nSTATUS=waiting for port 5"));
        QVERIFY(d.says("WATCHDOG=1") && d.says("WATCHDOG=1") && d.says("WATCHDOG=1"));
        for (int reloads = 0; reloads < 200 && (d.hangUp(), d.says("READY=1", 5000)); ++reloads) {
        }
        int inPipe = 0; // full, but for less than a line
        QVERIFY(::ioctl(pipe[0], FIONREAD, &inPipe) == 0 && inPipe > 3500);
        QVERIFY(!d.says("WATCHDOG=1", 3000)); // three watchdog times
        ::close(pipe[0]);
        d.process.kill();
    }
};

QTEST_GUILESS_MAIN(TestDaemonEndToEnd)
#include "tst_daemon_e2e.moc"
