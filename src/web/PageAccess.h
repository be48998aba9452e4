// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HttpRequest.h"

#include <QByteArrayList>

// Who may have what from the page's server, decided on a request's head
// alone. Plain code, no sockets.
struct PageRules {
    // Listening on loopback: no token, and only loopback host names, so that
    // a web site whose name is pointed at 127.0.0.1 (DNS rebinding) is not
    // served.
    bool loopback = true;
    quint16 port = 0;
    QByteArray token; // empty: none asked
    // Beyond the loopback names, lower-case: what the page is reached by at
    // its own port (the listen address, the machine's name and addresses).
    QByteArrayList ownNames;
    // Names the user added (a TLS proxy's name): any port and scheme, and
    // taken as a Host on loopback too.
    QByteArrayList userNames;
    bool commands = false;
};

enum class Route { Refused, Page, Script, Style, State, Metrics, Alarm, Peak, WebSocket };

struct Decision {
    Route route = Route::Refused;
    int status = 200; // for Refused, the status to answer
    const char* why = "";
    bool authorised = false;   // the host and token were right
    bool tokenInQuery = false; // the cookie is to take it
};

Decision Decide(const HttpRequest& request, const PageRules& rules);

// Each port its own cookie: two pages on one host name (two meters, two
// programs) neither share nor overwrite the token.
inline QByteArray TokenCookieName(quint16 port)
{
    return "vossbridge_token_" + QByteArray::number(port);
}

// The name of a Host field's "name:port", "[v6]:port" or "name", in lower
// case; nothing when what follows the name is not a port.
std::optional<QByteArray> HostName(const QByteArray& host);
