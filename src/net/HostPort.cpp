// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostPort.h"

namespace {
std::optional<HostPort> Refuse(QString* problem, const QString& why)
{
    if (problem)
        *problem = why;
    return std::nullopt;
}
} // namespace

std::optional<HostPort> ParseHostPort(const QString& text, quint16 defaultPort, QString* problem)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return Refuse(problem, QStringLiteral("nothing is given"));
    if (t.contains(u' ') || t.contains(u'\t'))
        return Refuse(problem, QStringLiteral("there is a blank inside"));
    QString host = t;
    QString port;
    bool hasPort = false;
    if (t.startsWith(u'[')) {
        const qsizetype close = t.indexOf(u']');
        const QString rest = close < 0 ? QString() : t.mid(close + 1);
        if (close < 0 || (!rest.isEmpty() && !rest.startsWith(u':')))
            return Refuse(problem,
                          QStringLiteral("an IPv6 address goes in brackets, as in [::1]:port"));
        host = t.mid(1, close - 1);
        hasPort = !rest.isEmpty();
        port = rest.mid(1);
    } else if (t.count(u':') == 1 || (t.count(u':') > 1 && defaultPort == 0)) {
        const qsizetype colon = t.lastIndexOf(u':');
        host = t.left(colon);
        hasPort = true;
        port = t.mid(colon + 1);
    } else if (t.count(u':') > 1) {
        return Refuse(problem,
                      QStringLiteral("an IPv6 address goes in brackets, as in [::1]:port"));
    }
    if (host.isEmpty())
        return Refuse(problem, QStringLiteral("the host is missing"));
    if (!hasPort && defaultPort == 0)
        return Refuse(problem, QStringLiteral("the port is missing"));
    HostPort address{host, defaultPort};
    if (hasPort) {
        bool ok = false;
        const uint n = port.toUInt(&ok);
        if (!ok || n < 1 || n > 65535)
            return Refuse(problem, QStringLiteral("the port must be a number from 1 to 65535"));
        address.port = static_cast<quint16>(n);
    }
    return address;
}

QString HostPortText(const HostPort& address)
{
    return HostPortText(address.host, address.port);
}

QString HostPortText(const QString& host, quint16 port)
{
    const bool bracketed = host.startsWith(u'[');
    const QString shown = host.contains(u':') && !bracketed ? u'[' + host + u']' : host;
    return shown + u':' + QString::number(port);
}

QString HostPortText(const QHostAddress& address, quint16 port)
{
    // An IPv4 peer of a dual-stack socket reads as ::ffff:a.b.c.d; people
    // know it by its IPv4 form.
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return HostPortText(isV4 ? QHostAddress(v4).toString() : address.toString(), port);
}
