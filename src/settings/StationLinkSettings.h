// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HostPort.h"
#include "ListenAddress.h"
#include "SettingKey.h"

// Group "StationLink": the server for Hamlib network clients and the rig
// daemon it relays to. Other programs and scripts set these keys too, so
// their names and texts stay as they are.
namespace StationLinkSettings {
inline const QString Group = QStringLiteral("StationLink");

// Empty (but present) means no rig: meter only. A missing key reads as null
// and so takes the default.
inline std::optional<QString> RigText(const QString& text)
{
    if (text.isNull())
        return std::nullopt;
    if (text.trimmed().isEmpty())
        return QString(QLatin1String(""));
    if (!ParseHostPort(text))
        return std::nullopt;
    return text.trimmed();
}
// "alarm" or a number of at least 1 (no SWR is below 1).
inline std::optional<QString> SwrLimitText(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t == u"alarm")
        return t;
    bool ok = false;
    const double limit = t.toDouble(&ok);
    if (!ok || !(limit >= 1.0) || limit > 100)
        return std::nullopt;
    return t;
}

inline const QString TrueOrFalse = QStringLiteral("true or false");

inline const SettingKey<bool> Enabled{Group,         QStringLiteral("Enabled"), false,
                                      LowerCaseBool, LowerCaseBoolText,         nullptr,
                                      TrueOrFalse};
inline const SettingKey<QString> Listen{Group,
                                        QStringLiteral("Listen"),
                                        QStringLiteral("127.0.0.1:4534"),
                                        ListenText,
                                        PlainText,
                                        nullptr,
                                        QStringLiteral("localhost or a numeric address with a port "
                                                       "from 1 to 65535, as in 127.0.0.1:4534 or "
                                                       "[::1]:4534")};
inline const SettingKey<QString> Rig{Group,
                                     QStringLiteral("Rig"),
                                     QStringLiteral("localhost:4532"),
                                     RigText,
                                     PlainText,
                                     nullptr,
                                     QStringLiteral("host:port with a port from 1 to 65535, as in "
                                                    "localhost:4532, or empty for no rig")};
inline const SettingKey<bool> Protection{
    Group,      QStringLiteral("Protection"), false, LowerCaseBool, LowerCaseBoolText, nullptr,
    TrueOrFalse};
inline const SettingKey<QString> SwrLimit{Group,
                                          QStringLiteral("SwrLimit"),
                                          QStringLiteral("alarm"),
                                          SwrLimitText,
                                          PlainText,
                                          nullptr,
                                          QStringLiteral("alarm, or an SWR from 1 to 100")};
// While the SWR alarm is latched, refuse every request to key the rig until
// the operator acknowledges; false lets it through and only logs it.
inline const SettingKey<bool> HoldUntilAcknowledged{Group,
                                                    QStringLiteral("HoldUntilAcknowledged"),
                                                    true,
                                                    LowerCaseBool,
                                                    LowerCaseBoolText,
                                                    nullptr,
                                                    TrueOrFalse};
// Watts of forward power below which a high SWR is no danger (tuning, idle).
inline const SettingKey<double> PowerFloor{Group,
                                           QStringLiteral("PowerFloor"),
                                           5,
                                           StrictDouble,
                                           [](double w) { return ShortestDecimal(w); },
                                           [](double w) { return w >= 0 && w <= 2500; },
                                           QStringLiteral("watts from 0 to 2500")};
// Consecutive accepted replies over the limit before the rig is unkeyed.
inline const SettingKey<int> Count{Group,
                                   QStringLiteral("Count"),
                                   2,
                                   StrictInt,
                                   IntegerText,
                                   [](int n) { return n >= 1 && n <= 100; },
                                   QStringLiteral("a whole number from 1 to 100")};
} // namespace StationLinkSettings
