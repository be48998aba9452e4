// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HostPort.h"

#include <QAbstractSocket>
#include <QHostAddress>

// Where a server of ours listens, as its "Listen" key names it: "localhost"
// or a numeric IPv4 or IPv6 address, with its port ("127.0.0.1:4534",
// "0.0.0.0:8734", "[::]:8734").

// Four decimal numbers from 0 to 255, dot-separated.
bool IsDottedQuad(const QString& text);
// "localhost" or a numeric address; a name would need a lookup to listen.
bool IsListenAddress(const QString& host);
// A listen key's text, or nothing. `problem`, when given, says what is
// wrong with a host:port, and stays empty for a name.
std::optional<HostPort> ParseListen(const QString& text, QString* problem = nullptr);
// A listen key's text as stored (trimmed), or nothing.
std::optional<QString> ListenText(const QString& text);
// The address to bind for a listen host: "localhost" is 127.0.0.1, and "::"
// is every address, IPv4 as well.
QHostAddress ListenAddress(const QString& host);

// "can't listen on 127.0.0.1:8734: in use" when another program holds the
// port, else with the system's words (`errorText`) for why.
QString ListenFailureText(const HostPort& listen, QAbstractSocket::SocketError error,
                          const QString& errorText);
