// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Debian's Hamlib programs for the station link's tests: rigctld as the rig
// and rigctl as the client, on loopback ports held from the start.
#include "PortHold.h"

#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <fcntl.h>
#include <memory>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

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

// rigctld on a loopback port of its own, held while the daemon lives, so a
// restart finds it free as well.
class RigDaemon {
public:
    explicit RigDaemon(const QStringList& rigArguments = {"-m", "1", "-P", "RIG"})
        : arguments_(rigArguments)
    {
        start();
    }
    ~RigDaemon() { stop(); }

    void start()
    {
        process_.setProgram(QStringLiteral("rigctld"));
        process_.setArguments(arguments_ +
                              QStringList{"-T", "127.0.0.1", "-t", QString::number(port())});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        process_.waitForStarted(5000);
    }
    void stop()
    {
        direct_.reset();
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
                       probe.connectToHost(QHostAddress::LocalHost, port());
                       return (probe.waitForConnected(200) && probe.localPort() != port()) ||
                              process_.state() == QProcess::NotRunning;
                   },
                   10000) &&
               process_.state() == QProcess::Running;
    }
    quint16 port() const { return hold_.port(); }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }

    // One command straight to the daemon, its answer trimmed, on one
    // connection kept for these (made again once the daemon dropped it).
    // Waits with the event loop running, so the link in the test process
    // goes on; a loaded machine may hold the daemon for seconds.
    QByteArray ask(const QByteArray& line)
    {
        if (!direct_ || direct_->state() != QAbstractSocket::ConnectedState) {
            direct_ = std::make_unique<QTcpSocket>();
            direct_->connectToHost(QHostAddress::LocalHost, port());
            if (!QTest::qWaitFor(
                    [this] { return direct_->state() == QAbstractSocket::ConnectedState; }, 5000))
                return "no connection";
        }
        direct_->readAll(); // a late answer to an earlier question
        direct_->write(line + '\n');
        QByteArray answer;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                answer += direct_->readAll();
                return answer.endsWith('\n') || direct_->state() != QAbstractSocket::ConnectedState;
            },
            10000));
        return answer.trimmed();
    }

private:
    PortHold hold_;
    std::unique_ptr<QTcpSocket> direct_;
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

// rigctl's output read as a client reads it, so Hamlib 4.5 (Debian 12) and
// 4.6 (Debian 13) compare alike: a line naming Hamlib's version is no
// value, and numbers are numbers ("1.5" and "1.500000" are one value).
// The values, one blank between them.
inline QString RigctlValues(const QString& output)
{
    QStringList values;
    for (const QString& line : output.split(u'\n')) {
        if (line.contains(QStringLiteral("Hamlib")))
            continue;
        for (const QString& word : line.split(u' ', Qt::SkipEmptyParts)) {
            bool number = false;
            const double value = word.toDouble(&number);
            values << (number ? QString::number(value, 'g', 15) : word);
        }
    }
    return values.join(u' ');
}
