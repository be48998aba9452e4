// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingKey.h"

#include <QSysInfo>
#include <optional>

// Group "Mqtt": publishing readings to an MQTT broker. Off until the user
// turns it on; commands from the broker stay off until turned on as well.
namespace MqttSettings {
inline const QString Group = QStringLiteral("Mqtt");

// Where the broker listens: a host name or address and a TCP port.
struct BrokerAddress {
    QString host;
    quint16 port = 1883;
};

// "host", "host:port", "a.b.c.d:port", "[v6 address]:port"; nothing for a
// text that is none of these.
inline std::optional<BrokerAddress> ParseBroker(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.contains(u' '))
        return std::nullopt;
    QString host = t;
    QString port;
    if (t.startsWith(u'[')) {
        const qsizetype close = t.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        host = t.mid(1, close - 1);
        const QString rest = t.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return std::nullopt;
        port = rest.mid(1);
        if (!host.contains(u':'))
            return std::nullopt;
    } else if (t.count(u':') == 1) {
        host = t.section(u':', 0, 0);
        port = t.section(u':', 1);
    } else if (t.count(u':') > 1) {
        return std::nullopt; // a bare IPv6 address needs brackets to carry a port
    }
    if (host.isEmpty())
        return std::nullopt;
    BrokerAddress address{host, 1883};
    if (t.endsWith(u':'))
        return std::nullopt;
    if (!port.isEmpty()) {
        bool ok = false;
        const uint n = port.toUInt(&ok);
        if (!ok || n < 1 || n > 65535)
            return std::nullopt;
        address.port = static_cast<quint16>(n);
    }
    return address;
}

// Why a topic prefix can't be used, or an empty text when it can.
inline QString PrefixProblem(const QString& prefix)
{
    if (prefix.isEmpty())
        return QStringLiteral("The topic prefix is empty.");
    if (prefix.contains(u'#') || prefix.contains(u'+'))
        return QStringLiteral("The topic prefix may not contain the wildcards # or +.");
    if (prefix.startsWith(u'/'))
        return QStringLiteral("The topic prefix may not start with /.");
    if (prefix.endsWith(u'/'))
        return QStringLiteral("The topic prefix may not end with /.");
    if (prefix.contains(QChar(0)))
        return QStringLiteral("The topic prefix may not contain a NUL character.");
    if (prefix.toUtf8().size() > 1024)
        return QStringLiteral("The topic prefix is too long.");
    return {};
}

inline QString HostName()
{
    const QString name = QSysInfo::machineHostName().section(u'.', 0, 0);
    return name.isEmpty() ? QStringLiteral("station") : name;
}

inline const SettingKey<bool> Enabled{Group, QStringLiteral("Enabled"), false, LowerCaseBool,
                                      LowerCaseBoolText};
inline const SettingKey<QString> Broker{Group,
                                        QStringLiteral("Broker"),
                                        QStringLiteral("localhost:1883"),
                                        TrimmedText,
                                        PlainText,
                                        [](QString t) { return ParseBroker(t).has_value(); }};
inline const SettingKey<QString> ClientId{
    Group,
    QStringLiteral("ClientId"),
    QStringLiteral("vossbridge-") + HostName(),
    TrimmedText,
    PlainText,
    [](QString t) { return !t.isEmpty() && t.toUtf8().size() <= 65535; }};
inline const SettingKey<QString> User{Group, QStringLiteral("User"), QString(), TrimmedText,
                                      PlainText};
// Kept as typed: blanks may belong to a password.
inline const SettingKey<QString> Password{
    Group, QStringLiteral("Password"), QString(),
    [](const QString& t) { return std::optional<QString>(t); }, PlainText};
// A file of certificate authorities; when set, the link speaks TLS.
inline const SettingKey<QString> CaFile{Group, QStringLiteral("CaFile"), QString(), TrimmedText,
                                        PlainText};
inline const SettingKey<QString> Prefix{Group,
                                        QStringLiteral("Prefix"),
                                        QStringLiteral("vossbridge/") + HostName(),
                                        TrimmedText,
                                        PlainText,
                                        [](QString t) { return PrefixProblem(t).isEmpty(); }};
// State messages per second at most.
inline constexpr int MinRate = 1;
inline constexpr int MaxRate = 50;
inline const SettingKey<int> Rate{Group,       QStringLiteral("Rate"),
                                  5,           StrictInt,
                                  IntegerText, [](int n) { return n >= MinRate && n <= MaxRate; }};
// Home Assistant's discovery messages under homeassistant/.
inline const SettingKey<bool> Discovery{Group, QStringLiteral("Discovery"), true, LowerCaseBool,
                                        LowerCaseBoolText};
// Commands on <prefix>/cmd/alarm and <prefix>/cmd/peak act on the meter.
inline const SettingKey<bool> Commands{Group, QStringLiteral("Commands"), false, LowerCaseBool,
                                       LowerCaseBoolText};
} // namespace MqttSettings
