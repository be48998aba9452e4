// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ListenAddress.h"
#include "SettingKey.h"
#include "StationLinkSettings.h"
#include "WebToken.h"

// Group "Web": the page that shows the meter in a browser. Off until the
// user turns it on; its buttons stay off until turned on as well.
namespace WebSettings {
inline const QString Group = QStringLiteral("Web");

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
                                       [](QString t) { return WebToken::IsTokenText(t); },
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
        token = WebToken::NewToken();
        Token.save(store, token);
    }
    return token;
}
} // namespace WebSettings
