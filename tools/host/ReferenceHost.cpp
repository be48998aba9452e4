// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReferenceHost.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QLocale>
#include <QTimer>
#include <unistd.h>

const QString ReferenceHost::ServerPath = QStringLiteral("/org/vossbridge/Host1");
const QString ReferenceHost::TargetPath = QStringLiteral("/org/vossbridge/Host1/Target");

ReferenceHost::ReferenceHost(const Behaviour& behaviour, QTextStream& out, QObject* parent)
    : QObject(parent), behaviour_(behaviour), out_(out)
{
}

bool ReferenceHost::hangHere()
{
    if (!behaviour_.hang)
        return false;
    // Keep the caller waiting: the answer never comes.
    setDelayedReply(true);
    return true;
}

bool ReferenceHost::answerFirstThenHang(const QVariant& value)
{
    if (!behaviour_.hangAfterFirst)
        return false;
    setDelayedReply(true);
    if (answered_)
        return true;
    answered_ = true;
    const QDBusMessage reply = message().createReply(value);
    QTimer::singleShot(behaviour_.firstDelayMs, this, [bus = connection(), reply] {
        bus.send(reply);
        // Then hang the whole process, as a host stuck in a loop does:
        // nothing on this thread answers again, not even an introspection.
        QTimer::singleShot(0, [] {
            for (;;)
                ::pause();
        });
    });
    return true;
}

QDBusObjectPath ReferenceHost::GetTarget()
{
    if (answerFirstThenHang(QVariant::fromValue(QDBusObjectPath(TargetPath))))
        return {};
    // An object path that exists on no object.
    return QDBusObjectPath(behaviour_.wrongTarget ? QStringLiteral("/org/vossbridge/Host1/Nothing")
                                                  : TargetPath);
}

void ReferenceHost::ReportValue(int code, int index, double value, const QString& text)
{
    if (answerFirstThenHang({}) || hangHere())
        return;
    if (behaviour_.failReports) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("reports refused (--fail-reports)"));
        return;
    }
    out_ << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) << ' ' << code << ' ' << index
         << ' ' << QString::number(value, 'g', QLocale::FloatingPointShortest) << " \"" << text
         << '"' << Qt::endl;
    if (behaviour_.answerDelayMs > 0) {
        // Taken at once, answered late: a busy host.
        setDelayedReply(true);
        QTimer::singleShot(
            behaviour_.answerDelayMs, this,
            [bus = connection(), reply = message().createReply()] { bus.send(reply); });
    }
    if (behaviour_.exitAfter > 0 && ++reports_ >= behaviour_.exitAfter)
        Q_EMIT done();
}
