// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageAddress.h"

#include "ListenAddress.h"
#include "Loopback.h"

#include <QSysInfo>

QString PageAddress(const QString& listen, const QString& token)
{
    const auto e = ParseListen(listen);
    if (!e)
        return {};
    const bool everyAddress = e->host == u"0.0.0.0" || e->host == u"::";
    const QString host = everyAddress ? QSysInfo::machineHostName() : e->host;
    const QString query =
        IsLoopbackName(e->host) || token.isEmpty() ? QString() : QStringLiteral("?token=") + token;
    return QStringLiteral("http://%1/%2").arg(HostPortText(host, e->port), query);
}
