// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the benchmarks read of a running process, and the built program and
// the meter simulator as their child processes.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

namespace ProgramProbe {

// CPU time of all the process's threads so far, in nanoseconds: the first
// field of each thread's schedstat. -1 once the process is gone.
inline qint64 CpuNs(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    if (!tasks.exists())
        return -1;
    qint64 sum = 0;
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (stat.open(QIODevice::ReadOnly))
            sum += stat.readAll().split(' ').value(0).toLongLong();
    }
    return sum;
}

// Resident memory in KB (VmRSS).
inline qint64 RssKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Runs the event loop until `done` holds or the time is up, looking ten
// times a second so the waiting costs the machine next to nothing.
inline bool WaitUntil(const std::function<bool()>& done, qint64 timeoutMs)
{
    // `done` may note what it sees, so it is asked once a look.
    const QDeadlineTimer deadline(timeoutMs);
    bool reached = done();
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        reached = done();
        if (reached || deadline.hasExpired())
            loop.quit();
    });
    look.start(100);
    if (!reached)
        loop.exec();
    return reached;
}

// Peak resident memory in KB (VmHWM).
inline qint64 PeakRssKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Resident memory in KB by what is mapped: a file's mappings summed under
// its name ("libQt6Core.so.6.4.2"), the heap, the stacks and the anonymous
// mappings (malloc's arenas, thread stacks) each under its bracketed name.
inline QMap<QString, qint64> ResidentByMapping(qint64 pid)
{
    QMap<QString, qint64> kb;
    QFile smaps(QStringLiteral("/proc/%1/smaps").arg(pid));
    if (!smaps.open(QIODevice::ReadOnly))
        return kb;
    QString mapping;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        if (line.startsWith("Rss:")) {
            kb[mapping] += line.mid(4).trimmed().split(' ').value(0).toLongLong();
            continue;
        }
        // A mapping's first line: "address perms offset dev inode [name]";
        // the other lines start with a field's name and a colon.
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5 || fields.value(0).endsWith(':') || !fields.value(0).contains('-'))
            continue;
        const QString name =
            QString::fromLocal8Bit(fields.size() > 5 ? fields.mid(5).join(' ') : "[anon]");
        mapping = name.startsWith(u'/') ? QFileInfo(name).fileName() : name;
    }
    return kb;
}

inline qsizetype OpenFds(qint64 pid)
{
    return QDir(QStringLiteral("/proc/%1/fd").arg(pid))
        .entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files)
        .size();
}

// The meter simulator, counting the polls it receives: one a tick.
class Meter {
public:
    explicit Meter(const QString& binDir, const QStringList& commands)
    {
        QStringList args;
        for (const QString& c : commands)
            args << QStringLiteral("-e") << c;
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(binDir + QStringLiteral("/vossbridge-meter-sim"), args);
    }
    ~Meter()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }
    // The line's device; empty when the simulator did not start.
    QString device()
    {
        if (device_.isEmpty() && process_.waitForReadyRead(10000))
            device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
        return device_;
    }
    qint64 polls()
    {
        while (process_.canReadLine()) {
            const QByteArray line = process_.readLine();
            if (!line.contains(" rx ;P?"))
                continue;
            if (polls_++ == 0)
                firstPollAt_ = QDateTime::fromString(QString::fromLatin1(line.split(' ').value(0)),
                                                     Qt::ISODateWithMs);
        }
        return polls_;
    }
    // When the simulator received the first poll, by its log.
    QDateTime firstPollAt() const { return firstPollAt_; }

private:
    QProcess process_;
    QString device_;
    qint64 polls_ = 0;
    QDateTime firstPollAt_;
};

// The reference host on the session bus, its reports discarded.
class Host {
public:
    explicit Host(const QString& binDir)
    {
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(binDir + QStringLiteral("/vossbridge-host"), {});
    }
    ~Host()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }
    bool waitUntilOnBus()
    {
        return WaitUntil(
            [] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    QStringLiteral("org.vossbridge.Host1"));
            },
            10000);
    }

private:
    QProcess process_;
};

// The built program, offscreen, with a scratch settings folder that holds
// what a first run leaves, the meter on port 5 and the given poll period.
class Program {
public:
    // Where the program finds its settings: in the user's configuration
    // folder, as the window does, or named on its command line, as
    // vossbridged takes them.
    enum class Settings { Found, Named };

    // `program`: another build of the program to run in place of this one's;
    // `arguments`: its command line.
    Program(const QString& binDir, const QString& device, int pollPeriod, QString program = {},
            QStringList arguments = {}, Settings settings = Settings::Found)
    {
        const QString file = config_.filePath(QStringLiteral("Vossbridge/Vossbridge.ini"));
        if (settings == Settings::Named)
            arguments << QStringLiteral("--settings") << file;
        {
            QSettings ini(file, QSettings::IniFormat);
            ini.setValue(QStringLiteral("Ports/Com5"), device);
            const QStringList keys{"Position-Left=600", "Position-Top=450", "PwrMode=0",
                                   "Height=3495",       "mnuSetup=True",    "mnuSmall=False",
                                   "mnuVector=False",   "ComPort=5",        "Range=3"};
            for (const QString& kv : keys)
                ini.setValue(QStringLiteral("StartUp/") + kv.section(u'=', 0, 0),
                             kv.section(u'=', 1));
            ini.setValue(QStringLiteral("StartUp/Pollrate"), QString::number(pollPeriod));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config_.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process_.setProcessEnvironment(env);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(QProcess::nullDevice());
        if (program.isEmpty())
            program = binDir + QStringLiteral("/vossbridge");
        startedAt_ = QDateTime::currentDateTime();
        process_.start(program, arguments);
        process_.waitForStarted();
    }
    ~Program()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    qint64 pid() const { return process_.processId(); }
    bool running() const { return process_.state() == QProcess::Running; }
    // Just before the program was started.
    QDateTime startedAt() const { return startedAt_; }

private:
    QTemporaryDir config_;
    QDateTime startedAt_;
    QProcess process_;
};

} // namespace ProgramProbe
