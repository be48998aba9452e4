// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReferenceHost.h"

#include <QDateTime>
#include <QLocale>

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

QDBusObjectPath ReferenceHost::GetTarget()
{
    // An object path that exists on no object.
    return QDBusObjectPath(behaviour_.wrongTarget ? QStringLiteral("/org/vossbridge/Host1/Nothing")
                                                  : TargetPath);
}

void ReferenceHost::ReportValue(int code, int index, double value, const QString& text)
{
    if (hangHere())
        return;
    if (behaviour_.failReports) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("reports refused (--fail-reports)"));
        return;
    }
    out_ << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) << ' ' << code << ' ' << index
         << ' ' << QString::number(value, 'g', QLocale::FloatingPointShortest) << " \"" << text
         << '"' << Qt::endl;
    if (behaviour_.exitAfter > 0 && ++reports_ >= behaviour_.exitAfter)
        Q_EMIT done();
}
