// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebServer.h"

#include "WebLog.h"

#include <QFile>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

// One HTTP client until it closes or turns into a WebSocket.
class WebServer::Connection : public QObject {
public:
    Connection(QTcpSocket* s, QObject* parent) : QObject(parent), socket(s)
    {
        socket->setParent(this);
        idle.setSingleShot(true);
    }
    QTcpSocket* socket;
    QTimer idle;
    bool closing = false;
};

namespace {
QByteArray Asset(const char* name)
{
    QFile f(QStringLiteral(":/web/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const char* Reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 303:
        return "See Other";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

// The page allows only its own files and its own WebSocket.
constexpr const char* Policy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

QByteArray Response(int status, const QByteArray& type, const QByteArray& body,
                    const QByteArray& extra, bool close)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + Reason(status) + "\r\n";
    if (!type.isEmpty())
        out += "Content-Type: " + type + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
    out += QByteArray("Content-Security-Policy: ") + Policy + "\r\n";
    out += extra;
    if (close)
        out += "Connection: close\r\n";
    return out + "\r\n" + body;
}

QByteArray HostName(const QByteArray& host)
{
    if (host.startsWith('['))
        return host.left(host.indexOf(']') + 1);
    const qsizetype colon = host.lastIndexOf(':');
    return colon < 0 ? host : host.left(colon);
}
} // namespace

WebServer::WebServer(QObject* parent)
    : QObject(parent), tcp_(this),
      ws_(QStringLiteral("Vossbridge"), QWebSocketServer::NonSecureMode, this),
      page_(Asset("index.html")), script_(Asset("app.js")), style_(Asset("style.css"))
{
    connect(&tcp_, &QTcpServer::newConnection, this, &WebServer::accept);
    connect(&ws_, &QWebSocketServer::newConnection, this, [this] {
        while (ws_.hasPendingConnections()) {
            QWebSocket* w = ws_.nextPendingConnection();
            w->setParent(this);
            // The page sends nothing; whatever comes is small or cut.
            w->setMaxAllowedIncomingFrameSize(quint64(limits_.bodyBytes));
            w->setMaxAllowedIncomingMessageSize(quint64(limits_.bodyBytes));
            webSockets_.insert(w);
            connect(w, &QWebSocket::disconnected, this, [this, w] {
                webSockets_.remove(w);
                w->deleteLater();
            });
            Q_EMIT webSocketJoined(w);
        }
    });
}

WebServer::~WebServer()
{
    close();
}

bool WebServer::listen(const QHostAddress& address, quint16 port)
{
    close();
    inUse_ = false;
    error_.clear();
    loopback_ = address.isLoopback();
    if (!tcp_.listen(address, port)) {
        inUse_ = tcp_.serverError() == QAbstractSocket::AddressInUseError;
        error_ = inUse_ ? QStringLiteral("in use") : tcp_.errorString();
        return false;
    }
    return true;
}

void WebServer::close()
{
    tcp_.close();
    for (Connection* c : std::as_const(httpClients_)) {
        c->socket->disconnect(this);
        c->socket->abort();
        c->deleteLater();
    }
    httpClients_.clear();
    for (QWebSocket* w : std::as_const(webSockets_)) {
        w->disconnect(this);
        w->abort();
        w->deleteLater();
    }
    webSockets_.clear();
}

void WebServer::broadcast(const QString& message)
{
    const QSet<QWebSocket*> sockets = webSockets_; // an abort leaves the set
    for (QWebSocket* w : sockets) {
        // A browser that stopped reading gets no growing queue: it is let go
        // and reconnects when it wakes.
        if (w->bytesToWrite() > limits_.backlogBytes) {
            qCWarning(lcWeb) << "cut off" << w->peerAddress().toString() << ": not reading";
            w->abort();
            continue;
        }
        w->sendTextMessage(message);
    }
}

void WebServer::accept()
{
    while (tcp_.hasPendingConnections()) {
        QTcpSocket* socket = tcp_.nextPendingConnection();
        if (clientCount() >= limits_.clients) {
            qCWarning(lcWeb) << "cut off" << socket->peerAddress().toString() << ": already"
                             << limits_.clients << "clients";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* c = new Connection(socket, this);
        httpClients_.insert(c);
        connect(&c->idle, &QTimer::timeout, this, [this, c] {
            qCInfo(lcWeb) << "cut off" << c->socket->peerAddress().toString() << ": silent for"
                          << limits_.idleMs / 1000 << "s";
            c->socket->abort();
            forget(c);
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, c] {
            c->idle.start(limits_.idleMs);
            readRequests(c);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, c] { forget(c); });
        c->idle.start(limits_.idleMs);
    }
}

void WebServer::forget(Connection* c)
{
    if (httpClients_.remove(c)) {
        c->socket->disconnect(this);
        c->idle.stop();
        c->deleteLater();
    }
}

void WebServer::refuse(Connection* c, int status, const char* why, bool close)
{
    qCWarning(lcWeb) << "refused" << c->socket->peerAddress().toString() << status << why;
    c->socket->write(Response(status, "text/plain; charset=utf-8", QByteArray(why) + '\n',
                              status == 405 ? "Allow: GET, POST\r\n" : "", close));
    if (close) {
        c->closing = true;
        c->socket->disconnectFromHost();
    }
}

void WebServer::readRequests(Connection* c)
{
    // The head is looked at in place: a WebSocket's handshake must stay
    // unread for the WebSocket server.
    while (!c->closing && c->socket->bytesAvailable() > 0) {
        const qint64 available = c->socket->bytesAvailable();
        const QByteArray data = c->socket->peek(limits_.headBytes + 4);
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0) {
            if (available > limits_.headBytes)
                refuse(c, 431, "request head over the limit");
            return;
        }
        const std::optional<HttpRequest> r = ParseRequestHead(data.left(end));
        if (!r)
            return refuse(c, 400, "malformed request");
        if (r->method != "GET" && r->method != "POST")
            return refuse(c, 405, "only GET and POST");
        if (r->hasHeader("transfer-encoding"))
            return refuse(c, 400, "bodies need a Content-Length");
        qint64 length = 0;
        if (r->hasHeader("content-length")) {
            bool ok = false;
            length = r->header("content-length").toLongLong(&ok);
            if (!ok || length < 0)
                return refuse(c, 400, "bad Content-Length");
        }
        if (length > limits_.bodyBytes)
            return refuse(c, 413, "body over the limit");
        if (r->method == "GET" && r->header("upgrade").toLower() == "websocket")
            return upgrade(c, *r);
        if (available < end + 4 + length)
            return; // the body is still coming
        c->socket->skip(end + 4);
        respond(c, *r, c->socket->read(length));
    }
}

bool WebServer::hostAllowed(const HttpRequest& r) const
{
    // On loopback the page answers only to loopback names, so that a web
    // site whose name an attacker points at 127.0.0.1 can't read it.
    if (!loopback_)
        return true;
    const QByteArray host = HostName(r.header("host")).toLower();
    return host == "localhost" || host == "[::1]" || host.startsWith("127.");
}

bool WebServer::sameOrigin(const HttpRequest& r) const
{
    const QByteArray origin = r.header("origin");
    const QByteArray host = r.header("host");
    return !host.isEmpty() && origin == "http://" + host;
}

bool WebServer::authorised(const HttpRequest& r, const Connection* c, QByteArray* newCookie) const
{
    if (token_.isEmpty())
        return true;
    if (const auto b = r.bearer(); b && SameSecret(*b, token_))
        return true;
    if (const auto k = r.cookie(CookieName); k && SameSecret(*k, token_))
        return true;
    if (const auto q = r.queryValue("token"); q && SameSecret(*q, token_)) {
        *newCookie = QByteArray("Set-Cookie: ") + CookieName + '=' + token_ +
                     "; Path=/; HttpOnly; SameSite=Strict\r\n";
        return true;
    }
    const bool offered = r.bearer() || r.cookie(CookieName) || r.queryValue("token");
    qCWarning(lcWeb) << "refused" << c->socket->peerAddress().toString() << r.method << r.path
                     << (offered ? ": wrong token" : ": no token");
    return false;
}

void WebServer::respond(Connection* c, const HttpRequest& r, const QByteArray& body)
{
    Q_UNUSED(body);
    if (!hostAllowed(r))
        return refuse(c, 403, "not a loopback host name");
    QByteArray cookie;
    if (!authorised(r, c, &cookie)) {
        c->socket->write(Response(401, "text/plain; charset=utf-8", "token needed\n",
                                  "WWW-Authenticate: Bearer\r\n", true));
        c->closing = true;
        c->socket->disconnectFromHost();
        return;
    }
    const bool close = r.header("connection").toLower() == "close";
    const auto send = [&](int status, const QByteArray& type, const QByteArray& content,
                          const QByteArray& extra = {}) {
        c->socket->write(Response(status, type, content, cookie + extra, close));
        if (close) {
            c->closing = true;
            c->socket->disconnectFromHost();
        }
    };
    if (r.path.startsWith("/api/command/")) {
        const QByteArray name = r.path.mid(13);
        if (name != "alarm" && name != "peak")
            return send(404, "text/plain", "no such command\n");
        if (r.method != "POST")
            return refuse(c, 405, "commands take POST", false);
        if (!commands_)
            return refuse(c, 403, "commands are off", false);
        if (!sameOrigin(r))
            return refuse(c, 403, "command from another origin", false);
        qCInfo(lcWeb) << "command from" << c->socket->peerAddress().toString() << ":" << name;
        Q_EMIT commandRequested(name);
        return send(204, {}, {});
    }
    if (r.method != "GET")
        return refuse(c, 405, "only GET here", false);
    if (r.path == "/" || r.path == "/index.html") {
        // The token leaves the address bar once the cookie holds it.
        if (!cookie.isEmpty())
            return send(303, "text/plain", "", "Location: /\r\n");
        return send(200, "text/html; charset=utf-8", page_);
    }
    if (r.path == "/app.js")
        return send(200, "text/javascript; charset=utf-8", script_);
    if (r.path == "/style.css")
        return send(200, "text/css; charset=utf-8", style_);
    if (r.path == "/api/state")
        return send(200, "application/json", state_ ? state_() : QByteArray("{}"));
    send(404, "text/plain", "not found\n");
}

void WebServer::upgrade(Connection* c, const HttpRequest& r)
{
    if (r.path != "/ws")
        return refuse(c, 404, "no WebSocket here");
    if (!hostAllowed(r))
        return refuse(c, 403, "not a loopback host name");
    QByteArray cookie;
    if (!authorised(r, c, &cookie))
        return refuse(c, 401, "token needed");
    // Browsers always name the page's origin; only a page of this server
    // may read the readings.
    if (r.hasHeader("origin") && !sameOrigin(r))
        return refuse(c, 403, "WebSocket from another origin");
    QTcpSocket* socket = c->socket;
    httpClients_.remove(c);
    socket->disconnect(this);
    socket->setParent(nullptr);
    c->deleteLater();
    ws_.handleConnection(socket);
}
