// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChildLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStringList>
#include <QTest>

// The reference host as a child process on the session bus, with the
// reports it printed.
class HostProcess {
public:
    enum class Output { Kept, Discarded };

    explicit HostProcess(const QStringList& arguments = {}, Output output = Output::Kept)
    {
        process_.setProgram(QStringLiteral(VOSSBRIDGE_BIN_DIR "/vossbridge-host"));
        process_.setArguments(arguments);
        process_.setStandardOutputFile(output == Output::Discarded ? QProcess::nullDevice()
                                                                   : log_.path());
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
    }
    ~HostProcess() { stop(); }

    // Whether the host owns its bus name.
    static bool onBus()
    {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("org.vossbridge.Host1"));
    }
    bool waitUntilOnBus()
    {
        return QTest::qWaitFor([] { return onBus(); }, 10000);
    }

    // The reports so far, as "code index value \"text\"".
    QStringList reports()
    {
        for (const QString& line : log_.newLines())
            reports_ << line.mid(line.indexOf(u' ') + 1);
        return reports_;
    }

    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
        static_cast<void>(QTest::qWaitFor([] { return !onBus(); }, 5000));
    }
    QProcess& process() { return process_; }

private:
    ChildLog log_;
    QProcess process_;
    QStringList reports_;
};
