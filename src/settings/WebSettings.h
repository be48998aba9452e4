// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HostPort.h"
#include "SettingKey.h"
#include "StationLinkSettings.h"

#include <QRandomGenerator>
#include <QSysInfo>

// Group "Web": the page that shows the meter in a browser. Off until the
// user turns it on; its buttons stay off until turned on as well.
namespace WebSettings {
inline const QString Group = QStringLiteral("Web");

// The one place the listen address is read: "127.0.0.1:8734", "0.0.0.0:8734"
// (every IPv4 address), "[::]:8734" (every address).
using Endpoint = HostPort;
inline std::optional<Endpoint> ParseListen(const QString& text, QString* problem = nullptr)
{
    const auto e = ParseHostPort(text, 0, problem);
    if (!e || !StationLinkSettings::IsListenAddress(e->host))
        return std::nullopt;
    return e;
}
inline std::optional<QString> ListenText(const QString& text)
{
    if (!ParseListen(text))
        return std::nullopt;
    return text.trimmed();
}

inline bool IsLoopback(const QString& host)
{
    return host == u"localhost" || host.startsWith(u"127.") || host == u"::1";
}

// What a browser opens: "http://127.0.0.1:8734/"; the machine's name for
// every address; with "?token=..." when the page asks for the token.
inline QString PageAddress(const QString& listen, const QString& token)
{
    const auto e = ParseListen(listen);
    if (!e)
        return {};
    QString host = e->host;
    if (host == u"0.0.0.0" || host == u"::")
        host = QSysInfo::machineHostName();
    else if (host.contains(u':'))
        host = u'[' + host + u']';
    const QString query =
        IsLoopback(e->host) || token.isEmpty() ? QString() : QStringLiteral("?token=") + token;
    return QStringLiteral("http://%1:%2/%3").arg(host).arg(e->port).arg(query);
}

inline constexpr int TokenLength = 32;
// Characters that stand in a URL, a cookie and a header without escaping.
inline bool IsTokenText(const QString& t)
{
    if (t.size() < 16 || t.size() > 256)
        return false;
    for (const QChar c : t)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'-' && c != u'_')
            return false;
    return true;
}
inline QString NewToken()
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    QString token;
    for (int i = 0; i < TokenLength; ++i)
        token += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(64)]);
    return token;
}

inline const SettingKey<bool> Enabled{
    Group,   QStringLiteral("Enabled"),       false, LowerCaseBool, LowerCaseBoolText,
    nullptr, StationLinkSettings::TrueOrFalse};
inline const SettingKey<QString> Listen{Group,
                                        QStringLiteral("Listen"),
                                        QStringLiteral("127.0.0.1:8734"),
                                        ListenText,
                                        PlainText,
                                        nullptr,
                                        QStringLiteral("localhost or a numeric address with a port "
                                                       "from 1 to 65535, as in 127.0.0.1:8734, "
                                                       "0.0.0.0:8734 or [::]:8734")};
// Empty until first used; a text that can't be a token reads as none.
inline const SettingKey<QString> Token{Group,
                                       QStringLiteral("Token"),
                                       QString(),
                                       TrimmedText,
                                       PlainText,
                                       [](QString t) { return IsTokenText(t); },
                                       QStringLiteral("16 to 256 letters, digits, - or _")};
// Names the page is also reached by, besides its address, comma-separated
// (a TLS proxy's): taken as the page's own origin, and as a host on loopback.
inline const SettingKey<QString> Names{Group,
                                       QStringLiteral("Names"),
                                       QString(),
                                       TrimmedText,
                                       PlainText,
                                       nullptr,
                                       QStringLiteral("host names separated by commas")};
// The page's Alarm and Fast/Slow buttons act on the meter.
inline const SettingKey<bool> Commands{
    Group,   QStringLiteral("Commands"),      false, LowerCaseBool, LowerCaseBoolText,
    nullptr, StationLinkSettings::TrueOrFalse};

// The stored token, made and stored when the file has none.
inline QString EnsureToken(SettingsStore& store)
{
    QString token = Token.read(store);
    if (token.isEmpty()) {
        token = NewToken();
        Token.save(store, token);
    }
    return token;
}
} // namespace WebSettings
