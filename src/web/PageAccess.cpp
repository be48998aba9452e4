// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageAccess.h"

#include "Loopback.h"

namespace {
bool IsDigits(QByteArrayView s)
{
    return !s.isEmpty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "name" and "port" of "name:port" or "[v6]:port"; no port: empty. Nothing
// when what follows the name is not a port.
std::optional<std::pair<QByteArray, QByteArray>> SplitHost(const QByteArray& host)
{
    qsizetype end = host.startsWith('[') ? host.indexOf(']') + 1 : host.indexOf(':');
    if (end == 0)
        return std::nullopt;
    if (end < 0)
        end = host.size();
    const QByteArray rest = host.mid(end);
    if (!rest.isEmpty() && (!rest.startsWith(':') || !IsDigits(rest.mid(1)) || rest.size() > 6))
        return std::nullopt;
    return std::pair{host.left(end).toLower(), rest.mid(1)};
}

bool IsLoopbackName(const QByteArray& name)
{
    return IsLoopbackName(QString::fromLatin1(name));
}

bool HostAllowed(const QByteArray& host, const PageRules& rules)
{
    if (!rules.loopback)
        return true;
    const auto split = SplitHost(host);
    return split && (IsLoopbackName(split->first) || rules.userNames.contains(split->first));
}

// The page's own origin: a loopback name or one of its own at its port, or
// a name the user added.
bool OwnOrigin(const HttpRequest& r, const PageRules& rules)
{
    const QByteArray origin = r.header("origin").toLower();
    const bool https = origin.startsWith("https://");
    if (!https && !origin.startsWith("http://"))
        return false;
    const auto split = SplitHost(origin.mid(https ? 8 : 7));
    if (!split)
        return false;
    const auto& [name, port] = *split;
    if (rules.userNames.contains(name))
        return true;
    const QByteArray ownPort = QByteArray::number(rules.port);
    const bool samePort = port == ownPort || (port.isEmpty() && ownPort == "80");
    return !https && samePort && (IsLoopbackName(name) || rules.ownNames.contains(name));
}

Decision Refuse(int status, const char* why, bool authorised = false)
{
    return {Route::Refused, status, why, authorised, false};
}
} // namespace

std::optional<QByteArray> HostName(const QByteArray& host)
{
    const auto split = SplitHost(host);
    return split ? std::optional(split->first) : std::nullopt;
}

Decision Decide(const HttpRequest& r, const PageRules& rules)
{
    if (r.method != "GET" && r.method != "POST")
        return Refuse(405, "only GET and POST");
    if (!HostAllowed(r.header("host"), rules))
        return Refuse(403, "not a loopback host name");
    Decision d{Route::Refused, 200, "", true, false};
    if (!rules.token.isEmpty()) {
        const auto cookie = r.cookie(TokenCookieName(rules.port));
        const auto query = r.queryValue("token");
        const auto bearer = r.bearer();
        d.tokenInQuery = query && SameSecret(*query, rules.token);
        if (!d.tokenInQuery && !(bearer && SameSecret(*bearer, rules.token)) &&
            !(cookie && SameSecret(*cookie, rules.token)))
            return Refuse(401, bearer || cookie || query ? "wrong token" : "no token");
    }
    const auto route = [&d](Route to) {
        d.route = to;
        return d;
    };
    if (r.isWebSocketUpgrade() && r.method == "GET") {
        if (r.path != "/ws")
            return Refuse(404, "no WebSocket here", true);
        // Browsers always name the page's origin; only a page of this server
        // may read the readings.
        if (r.hasHeader("origin") && !OwnOrigin(r, rules))
            return Refuse(403, "WebSocket from another origin", true);
        return route(Route::WebSocket);
    }
    if (r.path.startsWith("/api/command/")) {
        const QByteArray name = r.path.mid(13);
        if (name != "alarm" && name != "peak")
            return Refuse(404, "no such command", true);
        if (r.method != "POST")
            return Refuse(405, "commands take POST", true);
        if (!rules.commands)
            return Refuse(403, "commands are off", true);
        if (!OwnOrigin(r, rules))
            return Refuse(403, "command from another origin", true);
        return route(name == "alarm" ? Route::Alarm : Route::Peak);
    }
    if (r.method != "GET")
        return Refuse(405, "only GET here", true);
    if (r.path == "/" || r.path == "/index.html")
        return route(Route::Page);
    if (r.path == "/app.js")
        return route(Route::Script);
    if (r.path == "/style.css")
        return route(Route::Style);
    if (r.path == "/api/state")
        return route(Route::State);
    if (r.path == "/metrics")
        return route(Route::Metrics);
    return Refuse(404, "not found", true);
}
