// The built program itself, offscreen, polling the meter simulator through a
// scratch settings folder that maps Com5 to the simulator's line.
#include "MeterSimProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
        QVERIFY(QDir(config.path()).mkpath(QStringLiteral("Vossbridge")));
        QFile ini(config.filePath(QStringLiteral("Vossbridge/Vossbridge.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Ports]\nCom5=" + device.toLocal8Bit() + "\n[StartUp]\nPollrate=50\n");
        ini.close();

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QStringLiteral(VOSSBRIDGE_BIN_DIR "/vossbridge"), {});
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
};

QTEST_GUILESS_MAIN(TestProgramEndToEnd)
#include "tst_program_e2e.moc"
