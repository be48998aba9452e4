// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChildLog.h"

#include <QProcess>
#include <QStringList>
#include <QTest>

// The meter simulator as a child process: its device path, the commands it
// received, and a way to script it while it runs.
class MeterSimProcess {
public:
    explicit MeterSimProcess(const QStringList& arguments = {})
    {
        process_.setProgram(QStringLiteral(VOSSBRIDGE_BIN_DIR "/vossbridge-meter-sim"));
        process_.setArguments(arguments);
        process_.setStandardOutputFile(log_.path());
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
    }
    ~MeterSimProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // The slave device, once the simulator has printed it; empty on failure.
    QString devicePath()
    {
        if (path_.isEmpty() && process_.waitForStarted(5000))
            static_cast<void>(QTest::qWaitFor(
                [this] {
                    received();
                    return !path_.isEmpty();
                },
                10000));
        return path_;
    }

    void send(const QString& command) { process_.write((command + u'\n').toLocal8Bit()); }

    // The commands received so far, in order (";P?", ";A?", ...).
    QStringList received()
    {
        for (const QString& line : log_.newLines()) {
            const qsizetype rx = line.indexOf(QStringLiteral(" rx "));
            if (path_.isEmpty())
                path_ = line;
            else if (rx >= 0)
                received_ << line.mid(rx + 4);
        }
        return received_;
    }

    bool isRunning() const { return process_.state() == QProcess::Running; }
    QProcess& process() { return process_; }

private:
    ChildLog log_;
    QProcess process_;
    QString path_;
    QStringList received_;
};
