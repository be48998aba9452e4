// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HostPort.h"
#include "SettingKey.h"

#include <QFileInfo>
#include <QSysInfo>
#include <optional>

// Group "Mqtt": publishing readings to an MQTT broker. Off until the user
// turns it on; commands from the broker stay off until turned on as well.
namespace MqttSettings {
inline const QString Group = QStringLiteral("Mqtt");

// The broker's port when the Broker key names none.
inline constexpr quint16 DefaultPort = 1883;

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

inline const SettingKey<bool> Enabled{
    Group,   QStringLiteral("Enabled"),      false, LowerCaseBool, LowerCaseBoolText,
    nullptr, QStringLiteral("true or false")};
inline const SettingKey<QString> Broker{
    Group,
    QStringLiteral("Broker"),
    QStringLiteral("localhost:1883"),
    TrimmedText,
    PlainText,
    [](QString t) { return ParseHostPort(t, DefaultPort).has_value(); },
    QStringLiteral("a host name or address with an optional port from 1 to 65535, as in "
                   "localhost:1883 or [::1]:1883")};
inline const SettingKey<QString> ClientId{
    Group,
    QStringLiteral("ClientId"),
    QStringLiteral("vossbridge-") + HostName(),
    TrimmedText,
    PlainText,
    [](QString t) { return !t.isEmpty() && t.toUtf8().size() <= 65535; },
    QStringLiteral("a text that is not empty, at most 65535 bytes")};
inline const SettingKey<QString> User{
    Group,   QStringLiteral("User"),    QString(), TrimmedText, PlainText,
    nullptr, QStringLiteral("any text")};
// Kept as typed: blanks may belong to a password.
inline const SettingKey<QString> Password{
    Group,
    QStringLiteral("Password"),
    QString(),
    [](const QString& t) { return std::optional<QString>(t); },
    PlainText,
    nullptr,
    QStringLiteral("any text, but only with a user")};
// A file of certificate authorities; when set, the link speaks TLS.
// Any text reads as given: a file that can't be read fails the connection
// rather than dropping TLS. The settings page checks that it can be read.
inline const SettingKey<QString> CaFile{
    Group,
    QStringLiteral("CaFile"),
    QString(),
    TrimmedText,
    PlainText,
    nullptr,
    QStringLiteral("a file of certificate authorities that can be read, or empty for no TLS")};
inline const SettingKey<QString> Prefix{
    Group,
    QStringLiteral("Prefix"),
    QStringLiteral("vossbridge/") + HostName(),
    TrimmedText,
    PlainText,
    [](QString t) { return PrefixProblem(t).isEmpty(); },
    QStringLiteral("a topic that is not empty, does not start with / "
                   "or end with /, without the wildcards # and +, "
                   "at most 1024 bytes")};
// State messages per second at most.
inline constexpr int MinRate = 1;
inline constexpr int MaxRate = 50;
inline const SettingKey<int> Rate{Group,
                                  QStringLiteral("Rate"),
                                  5,
                                  StrictInt,
                                  IntegerText,
                                  [](int n) { return n >= MinRate && n <= MaxRate; },
                                  QStringLiteral("a whole number from 1 to 50")};
// Home Assistant's discovery messages under homeassistant/.
inline const SettingKey<bool> Discovery{
    Group,   QStringLiteral("Discovery"),    true, LowerCaseBool, LowerCaseBoolText,
    nullptr, QStringLiteral("true or false")};
// Commands on <prefix>/cmd/alarm and <prefix>/cmd/peak act on the meter.
inline const SettingKey<bool> Commands{
    Group,   QStringLiteral("Commands"),     false, LowerCaseBool, LowerCaseBoolText,
    nullptr, QStringLiteral("true or false")};

// The rules that look at more than one key or beyond the text, for the
// settings page and the command line alike; empty when the values may be
// stored. The password itself never shows in a refusal.
inline QString PasswordRefusal(const QString& user, const QString& password)
{
    if (password.isEmpty() || !user.trimmed().isEmpty())
        return {};
    return QStringLiteral("%1: a password is not allowed without %2")
        .arg(Password.path(), User.path());
}
// The link fails, rather than dropping TLS, on a file it can't read: better
// said when the file is chosen.
inline QString CaFileRefusal(const QString& caFile)
{
    const QString name = caFile.trimmed();
    if (name.isEmpty() || QFileInfo(name).isReadable())
        return {};
    return RefusalText(CaFile.path(), caFile, CaFile.allowed);
}
} // namespace MqttSettings
