// SPDX-License-Identifier: GPL-3.0-or-later
#include "HeadlessRun.h"

#include "AppLog.h"
#include "PortMap.h"
#include "ProgramParts.h"
#include "StartUpSettings.h"

HeadlessRun::HeadlessRun(ProgramParts& parts, QObject* parent) : QObject(parent), parts_(parts)
{
    openRetry_.setSingleShot(true);
    openRetry_.setInterval(OpenRetryMs);
    connect(&openRetry_, &QTimer::timeout, this, &HeadlessRun::tryOpen);
    // A run without a window has only the log to say what is wrong.
    // Said when it changes, not at every reopen that finds it the same.
    connect(&parts_.run, &MeterRun::troublesChanged, this, [this] {
        const QString trouble = parts_.run.troubles().join(QStringLiteral(", "));
        if (!trouble.isEmpty() && trouble != toldTrouble_)
            qCWarning(lcApp).noquote() << "state:" << trouble;
        toldTrouble_ = trouble;
        Q_EMIT stateChanged();
    });
}

void HeadlessRun::start()
{
    // The first run of a window stores its defaults; a run without one
    // reads the same defaults and leaves the file to the window.
    tryOpen();
}

void HeadlessRun::tryOpen()
{
    MeterRun& run = parts_.run;
    const bool opened = run.start();
    if (opened) {
        failureLogged_ = false;
        openedDevice_ = DeviceForPort(parts_.store, run.portNumber());
    } else {
        // Once per spell of failures, not every few seconds all day.
        if (!failureLogged_)
            qCWarning(lcApp).noquote()
                << MeterRun::PortUnavailableText << "Port" << run.portNumber() << ":"
                << run.portError() << "- trying again every" << OpenRetryMs / 1000 << "s";
        failureLogged_ = true;
        openRetry_.start();
    }
    if (!started_) {
        started_ = true;
        Q_EMIT started(opened);
    }
    Q_EMIT stateChanged();
}

void HeadlessRun::reopenPort()
{
    openRetry_.stop();
    parts_.run.releasePort();
    failureLogged_ = false;
    tryOpen();
}

void HeadlessRun::applySettings(const QStringList& changedKeys)
{
    MeterRun& run = parts_.run;
    QStringList applied;
    const qint16 port = StartUpSettings::PortNumber.read(parts_.store);
    // A port that is waiting may open now, whatever changed.
    if (isWaitingForPort() || port != run.portNumber() ||
        DeviceForPort(parts_.store, port) != openedDevice_) {
        reopenPort();
        applied << (run.isMeterAvailable() ? QStringLiteral("port %1 open")
                                           : QStringLiteral("port %1 not available yet"))
                       .arg(port);
    } else if (run.isPolling() && run.storedPollPeriod() != run.pollPeriod()) {
        applied << QStringLiteral("polling every %1 ms").arg(run.storedPollPeriod());
        run.setPollPeriod(run.storedPollPeriod());
        Q_EMIT stateChanged();
    }
    parts_.links.applySettings();
    QString line = changedKeys.isEmpty()
                       ? QStringLiteral("nothing changed")
                       : QStringLiteral("changed ") + changedKeys.join(QStringLiteral(", "));
    if (!applied.isEmpty())
        line += QStringLiteral("; ") + applied.join(QStringLiteral("; "));
    qCInfo(lcApp).noquote() << "settings read again:" << line;
}

void HeadlessRun::shutDown()
{
    openRetry_.stop();
    parts_.run.shutDown();
    parts_.links.shutDown();
    Q_EMIT finished();
}

QString HeadlessRun::stateText() const
{
    const MeterRun& run = parts_.run;
    if (run.isMeterAvailable())
        return QStringLiteral("polling port %1 every %2 ms")
            .arg(run.portNumber())
            .arg(run.pollPeriod());
    if (isWaitingForPort() || !run.isPortLost())
        return QStringLiteral("waiting for port %1: %2").arg(run.portNumber()).arg(run.portError());
    return QStringLiteral("port %1 lost: %2")
        .arg(run.portNumber())
        .arg(run.lostReason().replace(u'\n', u' '));
}
