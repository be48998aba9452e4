// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
        if (path_.isEmpty() && process_.waitForStarted(5000)) {
            if (!QTest::qWaitFor([this] { return process_.canReadLine(); }, 10000))
                return {};
            path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
        }
        return path_;
    }

    void send(const QString& command) { process_.write((command + u'\n').toLocal8Bit()); }

    // The commands received so far, in order (";P?", ";A?", ...).
    QStringList received()
    {
        while (process_.canReadLine()) {
            const QString line = QString::fromLocal8Bit(process_.readLine()).trimmed();
            const qsizetype rx = line.indexOf(QStringLiteral(" rx "));
            if (rx >= 0)
                received_ << line.mid(rx + 4);
        }
        return received_;
    }

    bool isRunning() const { return process_.state() == QProcess::Running; }
    QProcess& process() { return process_; }

private:
    QProcess process_;
    QString path_;
    QStringList received_;
};
