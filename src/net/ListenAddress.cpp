// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListenAddress.h"

bool IsDottedQuad(const QString& text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString& p : parts) {
        if (p.isEmpty() || p.size() > 3 ||
            !std::all_of(p.begin(), p.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }) ||
            p.toUInt() > 255)
            return false;
    }
    return true;
}

bool IsListenAddress(const QString& host)
{
    if (host == u"localhost")
        return true;
    if (!host.contains(u':'))
        return IsDottedQuad(host);
    return QHostAddress(host).protocol() == QAbstractSocket::IPv6Protocol;
}

std::optional<HostPort> ParseListen(const QString& text, QString* problem)
{
    const auto listen = ParseHostPort(text, 0, problem);
    if (!listen || !IsListenAddress(listen->host))
        return std::nullopt;
    return listen;
}

std::optional<QString> ListenText(const QString& text)
{
    if (!ParseListen(text))
        return std::nullopt;
    return text.trimmed();
}

QHostAddress ListenAddress(const QString& host)
{
    if (host == u"localhost")
        return QHostAddress(QHostAddress::LocalHost);
    const QHostAddress address(host);
    return address == QHostAddress(QHostAddress::AnyIPv6) ? QHostAddress(QHostAddress::Any)
                                                          : address;
}

QString ListenFailureText(const HostPort& listen, QAbstractSocket::SocketError error,
                          const QString& errorText)
{
    const QString why =
        error == QAbstractSocket::AddressInUseError ? QStringLiteral("in use") : errorText;
    return QStringLiteral("can't listen on %1: %2").arg(HostPortText(listen), why);
}
