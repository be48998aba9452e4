// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServiceNotifier.h"

#include "AppLog.h"
#include "HeadlessRun.h"
#include "MeterRun.h"

#include <ctime>
#include <systemd/sd-daemon.h>

ServiceNotifier::ServiceNotifier(HeadlessRun& headless, MeterRun& run, QObject* parent)
    : QObject(parent), headless_(headless), run_(run)
{
    connect(&headless_, &HeadlessRun::started, this, &ServiceNotifier::ready);
    connect(&headless_, &HeadlessRun::stateChanged, this, &ServiceNotifier::updateStatus);

    uint64_t watchdogUs = 0;
    if (sd_watchdog_enabled(0, &watchdogUs) <= 0 || watchdogUs == 0)
        return;
    // Half the watchdog's time, as systemd advises: one late ping is no restart.
    pingEveryMs_ = qMax<qint64>(1, static_cast<qint64>(watchdogUs / 2000));
    qCInfo(lcApp) << "feeding the service's watchdog every" << pingEveryMs_ << "ms";
    connect(&run, &MeterRun::tickFinished, this, [this] {
        if (ready_ && sincePing_.hasExpired(pingEveryMs_))
            ping();
    });
    // With no port open there is no tick; the retry being scheduled is the
    // run's life then.
    waitingBeat_.setInterval(static_cast<int>(qMin<qint64>(pingEveryMs_, 60000)));
    connect(&waitingBeat_, &QTimer::timeout, this, [this] {
        if (headless_.isWaitingForPort())
            ping();
    });
}

bool ServiceNotifier::isWanted()
{
    return qEnvironmentVariableIsSet("NOTIFY_SOCKET");
}

void ServiceNotifier::ready()
{
    ready_ = true;
    status_ = headless_.stateText();
    notify("READY=1\nSTATUS=" + status_.toUtf8());
    if (pingEveryMs_ > 0) {
        ping();
        waitingBeat_.start();
    }
    checkPollPeriod();
}

void ServiceNotifier::checkPollPeriod()
{
    // The first tick after half the watchdog's time pings, so pings come up
    // to a poll period late: a slow tick, late once more on a busy machine,
    // would have a run that polls as asked killed.
    if (pingEveryMs_ > 0 && 2 * run_.pollPeriod() > pingEveryMs_)
        qCWarning(lcApp) << "polling every" << run_.pollPeriod()
                         << "ms is too slow for the service's watchdog; give WatchdogSec= at "
                            "least four times the poll period";
}

void ServiceNotifier::updateStatus()
{
    const QString status = headless_.stateText();
    if (!ready_ || status == status_)
        return;
    status_ = status;
    notify("STATUS=" + status_.toUtf8());
}

void ServiceNotifier::ping()
{
    sincePing_.start();
    notify("WATCHDOG=1");
}

void ServiceNotifier::reloading()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Newer systemd matches the reload by this time stamp.
    const quint64 us = quint64(now.tv_sec) * 1000000u + quint64(now.tv_nsec) / 1000u;
    notify("RELOADING=1\nMONOTONIC_USEC=" + QByteArray::number(us) +
           "\nSTATUS=reading the settings again");
}

void ServiceNotifier::reloaded()
{
    status_ = headless_.stateText();
    notify("READY=1\nSTATUS=" + status_.toUtf8());
    checkPollPeriod();
}

void ServiceNotifier::stopping()
{
    notify("STOPPING=1\nSTATUS=stopping");
}

void ServiceNotifier::notify(const QByteArray& state)
{
    // Said once: a socket that is gone stays gone.
    if (sd_notify(0, state.constData()) < 0 && !toldFailure_) {
        toldFailure_ = true;
        qCWarning(lcApp) << "can't write to systemd's notify socket";
    }
}
