// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRandomGenerator>
#include <QString>

// The web page's token beyond loopback: what one looks like and a new one.
namespace WebToken {
inline constexpr int Length = 32;

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
    for (int i = 0; i < Length; ++i)
        token += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(64)]);
    return token;
}
} // namespace WebToken
