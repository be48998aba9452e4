// SPDX-License-Identifier: GPL-3.0-or-later
#include "HeadlessRun.h"

#include "AppLog.h"
#include "ProgramParts.h"

HeadlessRun::HeadlessRun(ProgramParts& parts, QObject* parent) : QObject(parent), parts_(parts)
{
    openRetry_.setSingleShot(true);
    openRetry_.setInterval(OpenRetryMs);
    connect(&openRetry_, &QTimer::timeout, this, &HeadlessRun::tryOpen);
    // A run without a window has only the log to say what is wrong.
    connect(&parts_.run, &MeterRun::troublesChanged, this, [this] {
        const QStringList trouble = parts_.run.troubles();
        if (!trouble.isEmpty())
            qCWarning(lcApp).noquote() << "state:" << trouble.join(QStringLiteral(", "));
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
    if (run.start()) {
        failureLogged_ = false;
        return;
    }
    // Once per spell of failures, not every few seconds all day.
    if (!failureLogged_)
        qCWarning(lcApp).noquote()
            << MeterRun::PortUnavailableText << "Port" << run.portNumber() << ":" << run.portError()
            << "- trying again every" << OpenRetryMs / 1000 << "s";
    failureLogged_ = true;
    openRetry_.start();
}

void HeadlessRun::shutDown()
{
    openRetry_.stop();
    parts_.run.shutDown();
    parts_.links.shutDown();
    Q_EMIT finished();
}
