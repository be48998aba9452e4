// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>
#include <optional>

// Where another program listens, as the keys that name one store it:
// "host:port", "a.b.c.d:port", "[v6 address]:port", and "host" alone where
// the key has a default port.
struct HostPort {
    QString host;
    quint16 port = 0;
};

// The text read with `defaultPort` (0: the key has none, a port must be
// given). Without brackets, a key that needs its port reads it after the
// last colon, as such keys always have ("::1:4534" is ::1, port 4534); a key
// with a default port can't tell an IPv6 address from one with a port, so
// there the address needs its brackets. On failure `problem`, when given,
// says why in the words every settings page uses.
std::optional<HostPort> ParseHostPort(const QString& text, quint16 defaultPort = 0,
                                      QString* problem = nullptr);

// "host:port", with brackets around an IPv6 address ("[::1]:4532"): the
// one form every log line and status line shows a peer or a listen address in.
QString HostPortText(const HostPort& address);
QString HostPortText(const QString& host, quint16 port);
QString HostPortText(const QHostAddress& address, quint16 port);
