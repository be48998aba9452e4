// SPDX-License-Identifier: GPL-3.0-or-later
// The built program itself, offscreen, polling the meter simulator through a
// scratch settings folder that maps Com5 to the simulator's line.
#include "HostProcess.h"
#include "MeterSimProcess.h"
#include "VirtualDisplay.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {
// CPU time the process has used, in clock ticks.
long CpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // Fields after the command name, which ends with ')': utime is the 12th, stime the 13th.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLong() + fields.value(12).toLong();
}

// Whether the process holds a file descriptor on `device`.
bool HoldsDevice(qint64 pid, const QString& device)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files)) {
        if (QFile::symLinkTarget(fds.filePath(fd)).startsWith(device))
            return true;
    }
    return false;
}
// The program with its settings in `config`, offscreen or on an X display.
void Start(QProcess& program, const QTemporaryDir& config, const QString& display = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    if (display.isEmpty()) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), display);
    }
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(VOSSBRIDGE_BIN_DIR "/vossbridge"), {});
}

QString IniPath(const QTemporaryDir& config)
{
    return config.filePath(QStringLiteral("Vossbridge/Vossbridge.ini"));
}

// The StartUp group as stored, key=value.
QStringList StartUpKeys(const QTemporaryDir& config)
{
    QSettings ini(IniPath(config), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("StartUp"));
    QStringList keys;
    for (const QString& key : ini.childKeys())
        keys << key + u'=' + ini.value(key).toString();
    return keys;
}
} // namespace

class TestProgramEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hangUpLeavesProgramRunningIdleWithPortClosed()
    {
        MeterSimProcess sim;
        const QString device = sim.devicePath();
        QVERIFY(!device.isEmpty());

        QTemporaryDir config;
        {
            QSettings ini(IniPath(config), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Ports/Com5"), device);
        }
        QProcess program;
        Start(program, config);
        QVERIFY(program.waitForStarted());
        const qint64 pid = program.processId();

        QTRY_VERIFY_WITH_TIMEOUT(sim.received().size() >= 20, 20000);
        QVERIFY(HoldsDevice(pid, device));

        sim.send(QStringLiteral("hangup"));
        QTRY_VERIFY_WITH_TIMEOUT(!HoldsDevice(pid, device), 10000);
        QCOMPARE(program.state(), QProcess::Running);

        // A process spinning on the dead line uses a whole core; an idle one
        // next to nothing. One second is 100 clock ticks.
        const long before = CpuTicks(pid);
        QTest::qWait(1000);
        const long used = CpuTicks(pid) - before;
        QVERIFY(before >= 0);
        QVERIFY2(used < 30, qPrintable(QStringLiteral("%1 ticks of CPU in 1 s").arg(used)));
        QCOMPARE(program.state(), QProcess::Running);

        program.terminate();
        QVERIFY(program.waitForFinished(10000));
    }

    void firstRunReportsThenStoresAtSigterm()
    {
        MeterSimProcess sim({"-e", "power 100", "-e", "swr 1.2", "-e", "alarm 2", "-e", "range 0"});
        HostProcess host;
        QVERIFY(host.waitUntilOnBus());
        QTemporaryDir config;
        {
            QSettings ini(IniPath(config), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Ports/Com5"), sim.devicePath());
        }

        QProcess program;
        Start(program, config);
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(host.reports().contains(QStringLiteral("33 3 100 \"\"")), 20000);
        QVERIFY(host.reports().contains(QStringLiteral("34 2 1.2 \"\"")));
        QTRY_VERIFY(sim.received().count(QStringLiteral(";P?")) >= 5);
        const QStringList firstRun = StartUpKeys(config);
        for (const char* kv : {"PwrMode=0", "Height=3495", "mnuSetup=True", "mnuSmall=False",
                               "mnuVector=False", "ComPort=5", "Pollrate=80", "Range=3"})
            QVERIFY2(firstRun.contains(QString::fromLatin1(kv)), kv);
        QCOMPARE(firstRun.size(), 10);

        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QStringList stored = StartUpKeys(config);
        QCOMPARE(stored.size(), 12);
        QVERIFY(stored.contains(QStringLiteral("Alarm=2")));
        QVERIFY(stored.contains(QStringLiteral("Scale=0")));

        // A second start keeps what the user chose, and SIGINT stores too.
        {
            QSettings ini(IniPath(config), QSettings::IniFormat);
            ini.setValue(QStringLiteral("StartUp/Pollrate"), QStringLiteral("200"));
            ini.setValue(QStringLiteral("StartUp/Height"), QStringLiteral("1800"));
            ini.setValue(QStringLiteral("StartUp/mnuSetup"), QStringLiteral("False"));
            ini.setValue(QStringLiteral("StartUp/mnuSmall"), QStringLiteral("True"));
            ini.remove(QStringLiteral("StartUp/Alarm"));
        }
        // Polls alone are not enough: the alarm setting stored is the one a
        // reply showed, and a busy machine may reject the first few.
        const qsizetype reported = host.reports().size();
        QProcess second;
        Start(second, config);
        QVERIFY(second.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            host.reports().mid(reported).contains(QStringLiteral("34 2 1.2 \"\"")), 20000);
        ::kill(static_cast<pid_t>(second.processId()), SIGINT);
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        const QStringList kept = StartUpKeys(config);
        for (const char* kv : {"Pollrate=200", "Height=1800", "mnuSetup=False", "mnuSmall=True",
                               "Alarm=2", "ComPort=5"})
            QVERIFY2(kept.contains(QString::fromLatin1(kv)), kv);
        QCOMPARE(kept.size(), 12);
    }

    // Found on an X server: under a window manager the window climbed by its
    // title bar's height at every start. Start, exit, start leaves it put.
    void positionHoldsAcrossStarts_data()
    {
        QTest::addColumn<QString>("windowManager");
        QTest::newRow("no window manager") << QString();
        QTest::newRow("openbox") << QStringLiteral("openbox");
    }
    void positionHoldsAcrossStarts()
    {
        QFETCH(QString, windowManager);
        if (!windowManager.isEmpty() && QStandardPaths::findExecutable(windowManager).isEmpty())
            QSKIP("no window manager installed; scripts/deps installs openbox");
        VirtualDisplay x(windowManager);
        if (x.display().isEmpty())
            QSKIP("no Xvfb; scripts/deps installs it");
        MeterSimProcess sim;
        QTemporaryDir config;
        {
            QSettings ini(IniPath(config), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Ports/Com5"), sim.devicePath());
            ini.setValue(QStringLiteral("StartUp/Position-Left"), QStringLiteral("3000"));
            ini.setValue(QStringLiteral("StartUp/Position-Top"), QStringLiteral("1200"));
        }
        for (int start = 0; start < 3; ++start) {
            QProcess program;
            Start(program, config, x.display());
            QVERIFY(program.waitForStarted());
            const qsizetype polls = sim.received().count(QStringLiteral(";P?"));
            QTRY_VERIFY_WITH_TIMEOUT(sim.received().count(QStringLiteral(";P?")) > polls + 3,
                                     20000);
            program.terminate();
            QVERIFY(program.waitForFinished(10000));
            QVERIFY(StartUpKeys(config).contains(QStringLiteral("Position-Left=3000")));
            QVERIFY2(StartUpKeys(config).contains(QStringLiteral("Position-Top=1200")),
                     qPrintable(StartUpKeys(config).join(u' ')));
        }
    }
};

QTEST_GUILESS_MAIN(TestProgramEndToEnd)
#include "tst_program_e2e.moc"
