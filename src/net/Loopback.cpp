// SPDX-License-Identifier: GPL-3.0-or-later
#include "Loopback.h"

#include "ListenAddress.h"

bool IsLoopback(const QHostAddress& address)
{
    // Qt takes ::ffff:127.0.0.1 for loopback as well.
    return address.isLoopback();
}

bool IsLoopbackName(const QString& name)
{
    if (name.compare(u"localhost", Qt::CaseInsensitive) == 0)
        return true;
    const bool bracketed = name.startsWith(u'[') && name.endsWith(u']');
    const QString literal = bracketed ? name.mid(1, name.size() - 2) : name;
    // QHostAddress also reads "127.1" and "0x7f.0.0.1", which no browser
    // sends and a reader would not take for loopback.
    if (literal.contains(u':') ? literal.startsWith(u'[') : bracketed || !IsDottedQuad(literal))
        return false;
    const QHostAddress address(literal);
    return !address.isNull() && IsLoopback(address);
}
