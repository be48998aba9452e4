// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebServer.h"

#include "Loopback.h"
#include "WebLog.h"

#include <QFile>
#include <QNetworkInterface>
#include <QPointer>
#include <QSysInfo>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

// One HTTP client until it closes or its WebSocket handshake is done. Each
// phase has its own deadline, set when the phase begins, never by a byte.
class WebServer::Connection : public QObject {
public:
    enum class Phase { Idle, Head, Body, Held, Answered, Closing, Upgrading };

    Connection(QTcpSocket* s, quint64 number, QObject* parent)
        : QObject(parent), socket(s), peer(s->peerAddress()), peerPort(s->peerPort()),
          admitted(number)
    {
        socket->setParent(this);
        deadline.setSingleShot(true);
    }
    // Starts a phase's deadline, unless the phase goes on.
    void enter(Phase p, int ms)
    {
        if (phase == p)
            return;
        phase = p;
        deadline.start(ms);
    }
    QPointer<QTcpSocket> socket;
    const QHostAddress peer;
    const quint16 peerPort;
    const quint64 admitted; // its number in the admission
    QTimer deadline;
    Phase phase = Phase::Answered;
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
    case 501:
        return "Not Implemented";
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

QByteArray NameOf(const QHostAddress& a)
{
    QHostAddress plain = a;
    plain.setScopeId({});
    const QByteArray text = plain.toString().toLower().toLatin1();
    return a.protocol() == QAbstractSocket::IPv6Protocol ? '[' + text + ']' : text;
}

// What a browser may have in its address bar for a page listening there.
QByteArrayList OwnNames(const QHostAddress& address)
{
    if (address != QHostAddress::Any && address != QHostAddress::AnyIPv6 &&
        address != QHostAddress::AnyIPv4)
        return {NameOf(address)};
    QByteArrayList names{QSysInfo::machineHostName().toLower().toLatin1()};
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        names.append(NameOf(a));
    return names;
}
} // namespace

WebServer::WebServer(QObject* parent)
    : QObject(parent), tcp_(this),
      ws_(QStringLiteral("Vossbridge"), QWebSocketServer::NonSecureMode, this),
      page_(Asset("index.html")), script_(Asset("app.js")), style_(Asset("style.css"))
{
    connect(&tcp_, &QTcpServer::newConnection, this, &WebServer::accept);
    connect(&ws_, &QWebSocketServer::newConnection, this, &WebServer::webSocketReady);
    connect(&pingTimer_, &QTimer::timeout, this, &WebServer::pingWebSockets);
    setLimits(limits_);
}

void WebServer::setLimits(const Limits& limits)
{
    limits_ = limits;
    admission_.setCaps({limits.clients, limits.newClients, limits.newClientsPerAddress});
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
    rules_.loopback = IsLoopback(address);
    ws_.setHandshakeTimeout(std::chrono::milliseconds(limits_.headMs));
    if (!tcp_.listen(address, port)) {
        inUse_ = tcp_.serverError() == QAbstractSocket::AddressInUseError;
        error_ = tcp_.errorString();
        return false;
    }
    rules_.port = tcp_.serverPort();
    rules_.ownNames = OwnNames(address);
    pingTimer_.start(limits_.pingMs);
    return true;
}

void WebServer::close()
{
    tcp_.close();
    pingTimer_.stop();
    for (Connection* c : std::as_const(httpClients_)) {
        if (c->socket) {
            c->socket->disconnect(this);
            c->socket->abort();
        }
        c->deleteLater();
    }
    httpClients_.clear();
    for (auto it = webSockets_.cbegin(); it != webSockets_.cend(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
        it.key()->deleteLater();
    }
    webSockets_.clear();
    admission_.clear();
}

void WebServer::broadcast(const QString& message)
{
    const QList<QWebSocket*> sockets = webSockets_.keys(); // a drop leaves the set
    for (QWebSocket* w : sockets) {
        // A browser that stopped reading gets no growing queue: it is let go
        // and reconnects when it wakes.
        if (w->bytesToWrite() > limits_.backlogBytes) {
            dropWebSocket(w, "not reading");
            continue;
        }
        w->sendTextMessage(message);
    }
}

void WebServer::pingWebSockets()
{
    for (auto it = webSockets_.cbegin(); it != webSockets_.cend(); ++it)
        if (!it->pongDeadline->isActive()) {
            it->pongDeadline->start(limits_.pongMs);
            it.key()->ping();
        }
}

void WebServer::dropWebSocket(QWebSocket* w, const char* why)
{
    qCWarning(lcWeb) << "cut off" << w->peerAddress().toString() << ":" << why;
    ++refusals_;
    admission_.remove(webSockets_.take(w).admitted);
    w->disconnect(this);
    w->abort();
    w->deleteLater();
}

bool WebServer::makeRoom(const QHostAddress& peer)
{
    const ClientAdmission::Verdict verdict = admission_.judge(peer);
    if (!verdict.makesWay)
        return verdict.admitted;
    const auto leaving =
        std::find_if(httpClients_.cbegin(), httpClients_.cend(),
                     [&](const Connection* c) { return c->admitted == *verdict.makesWay; });
    if (leaving != httpClients_.cend()) {
        cut(*leaving, verdict.why);
        return verdict.admitted;
    }
    for (auto it = webSockets_.cbegin(); it != webSockets_.cend(); ++it)
        if (it->admitted == *verdict.makesWay) {
            dropWebSocket(it.key(), verdict.why);
            break;
        }
    return verdict.admitted;
}

void WebServer::accept()
{
    while (tcp_.hasPendingConnections()) {
        QTcpSocket* socket = tcp_.nextPendingConnection();
        if (!makeRoom(socket->peerAddress())) {
            qCWarning(lcWeb) << "cut off" << socket->peerAddress().toString() << ": already"
                             << limits_.clients << "clients";
            ++refusals_;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption,
                                limits_.sendBufferBytes);
        // What a client sends beyond one request waits in the kernel, not here.
        socket->setReadBufferSize(limits_.headBytes + limits_.bodyBytes + 4);
        auto* c = new Connection(socket, admission_.add(socket->peerAddress()), this);
        httpClients_.insert(c);
        connect(&c->deadline, &QTimer::timeout, this, [this, c] {
            using P = Connection::Phase;
            cut(c, c->phase == P::Head      ? "its request head took too long"
                   : c->phase == P::Body    ? "its request body took too long"
                   : c->phase == P::Held    ? "it does not read its answers"
                   : c->phase == P::Closing ? "it does not take its last answer"
                                            : "silent too long");
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, c] { readRequests(c); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, c] {
            if (c->phase == Connection::Phase::Held &&
                c->socket->bytesToWrite() <= limits_.backlogBytes / 2)
                readRequests(c);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, c] { forget(c); });
        c->enter(Connection::Phase::Idle, limits_.idleMs);
    }
}

void WebServer::cut(Connection* c, const char* why)
{
    if (c->phase != Connection::Phase::Upgrading) {
        qCInfo(lcWeb) << "cut off" << c->peer.toString() << ":" << why;
        ++refusals_;
        if (c->socket) {
            c->socket->disconnect(this);
            c->socket->abort();
        }
    }
    forget(c);
}

void WebServer::forget(Connection* c, bool slotGoesOn)
{
    if (httpClients_.remove(c)) {
        if (!slotGoesOn)
            admission_.remove(c->admitted);
        if (c->socket)
            c->socket->disconnect(this);
        c->deadline.stop();
        c->deleteLater();
    }
}

void WebServer::answer(Connection* c, int status, const QByteArray& type, const QByteArray& body,
                       const QByteArray& extra, bool close)
{
    c->socket->write(Response(status, type, body, extra, close));
    if (close) {
        // Taking the answer is a phase of its own: what is left of the
        // head's or the body's time must not cut it short.
        c->closing = true;
        c->enter(Connection::Phase::Closing, limits_.answerMs);
        c->socket->disconnectFromHost();
    }
}

void WebServer::refuse(Connection* c, int status, const char* why)
{
    qCWarning(lcWeb) << "refused" << c->peer.toString() << status << why;
    ++refusals_;
    answer(c, status, "text/plain; charset=utf-8", QByteArray(why) + '\n', {}, true);
}

void WebServer::readRequests(Connection* c)
{
    using P = Connection::Phase;
    // The head is looked at in place: a WebSocket's handshake must stay
    // unread for the WebSocket server.
    while (!c->closing && c->socket) {
        QTcpSocket* s = c->socket;
        if (s->bytesToWrite() > limits_.backlogBytes)
            return c->enter(P::Held, limits_.idleMs);
        const qint64 available = s->bytesAvailable();
        if (available == 0)
            return c->enter(P::Idle, limits_.idleMs);
        // Only the limit's worth is looked at, so a head passes or not
        // the same however its bytes are split into packets.
        const QByteArray data = s->peek(limits_.headBytes);
        const qsizetype headLength = HeadLength(data);
        if (headLength < 0) {
            if (available >= limits_.headBytes)
                return refuse(c, 431, "request head over the limit");
            return c->enter(P::Head, limits_.headMs);
        }
        const ParsedHead parsed = ParseRequestHead(data.left(headLength));
        if (!parsed.request)
            return refuse(c, parsed.status, parsed.why);
        const HttpRequest& r = *parsed.request;
        if (r.contentLength > limits_.bodyBytes)
            return refuse(c, 413, "body over the limit");
        const Decision d = Decide(r, rules_);
        if (d.authorised)
            admission_.prove(c->admitted);
        if (d.route == Route::WebSocket)
            return upgrade(c);
        const bool close = !r.keepAlive || !d.authorised;
        if (!close && available < headLength + r.contentLength)
            return c->enter(P::Body, limits_.bodyMs);
        s->skip(std::min<qint64>(available, headLength + r.contentLength));
        c->phase = P::Answered;
        respond(c, r, d);
    }
}

void WebServer::respond(Connection* c, const HttpRequest& r, const Decision& d)
{
    const bool close = !r.keepAlive || !d.authorised;
    QByteArray extra;
    if (d.tokenInQuery)
        extra = "Set-Cookie: " + TokenCookieName(rules_.port) + '=' + rules_.token +
                "; Path=/; HttpOnly; SameSite=Strict\r\n";
    const auto send = [&](int status, const QByteArray& type, const QByteArray& content) {
        answer(c, status, type, content, extra, close);
    };
    switch (d.route) {
    case Route::Refused:
        qCWarning(lcWeb) << "refused" << c->peer.toString() << r.method << r.path << d.status
                         << d.why;
        ++refusals_;
        if (d.status == 405)
            extra += "Allow: GET, POST\r\n";
        if (d.status == 401)
            extra += "WWW-Authenticate: Bearer\r\n";
        return send(d.status, "text/plain; charset=utf-8", QByteArray(d.why) + '\n');
    case Route::Page:
        // The token leaves the address bar once the cookie holds it.
        if (d.tokenInQuery) {
            extra += "Location: /\r\n";
            return send(303, "text/plain", {});
        }
        return send(200, "text/html; charset=utf-8", page_);
    case Route::Script:
        return send(200, "text/javascript; charset=utf-8", script_);
    case Route::Style:
        return send(200, "text/css; charset=utf-8", style_);
    case Route::State:
        return send(200, "application/json", state_ ? state_() : QByteArray("{}"));
    case Route::Metrics:
        return send(200, "text/plain; version=0.0.4; charset=utf-8",
                    metrics_ ? metrics_() : QByteArray());
    case Route::Alarm:
    case Route::Peak: {
        const QByteArray name = d.route == Route::Alarm ? "alarm" : "peak";
        qCInfo(lcWeb) << "command from" << c->peer.toString() << ":" << name;
        Q_EMIT commandRequested(name);
        return send(204, {}, {});
    }
    case Route::WebSocket:
        break;
    }
}

void WebServer::upgrade(Connection* c)
{
    // The handshake is the WebSocket server's; the client keeps its slot
    // until the WebSocket takes it over.
    QTcpSocket* socket = c->socket;
    socket->disconnect(this);
    socket->setParent(nullptr);
    connect(socket, &QObject::destroyed, c, [this, c] { forget(c); });
    connect(socket, &QTcpSocket::disconnected, c, [this, c] { forget(c); });
    c->enter(Connection::Phase::Upgrading, limits_.headMs);
    ws_.handleConnection(socket);
}

void WebServer::webSocketReady()
{
    while (ws_.hasPendingConnections()) {
        QWebSocket* w = ws_.nextPendingConnection();
        std::optional<quint64> admitted;
        for (Connection* c : std::as_const(httpClients_))
            if (c->phase == Connection::Phase::Upgrading && c->peer == w->peerAddress() &&
                c->peerPort == w->peerPort()) {
                if (c->socket)
                    c->socket->disconnect(this);
                admitted = c->admitted;
                forget(c, true);
                break;
            }
        if (!admitted)
            admitted = admission_.add(w->peerAddress());
        admission_.prove(*admitted);
        w->setParent(this);
        // The page sends nothing; whatever comes is small or cut.
        w->setMaxAllowedIncomingFrameSize(quint64(limits_.bodyBytes));
        w->setMaxAllowedIncomingMessageSize(quint64(limits_.bodyBytes));
        auto* pongDeadline = new QTimer(w);
        pongDeadline->setSingleShot(true);
        webSockets_.insert(w, {*admitted, pongDeadline});
        // Answers still waiting to go out mean the page is not reading.
        connect(pongDeadline, &QTimer::timeout, this, [this, w] {
            dropWebSocket(w, w->bytesToWrite() > 0 ? "not reading, nor answering pings"
                                                   : "it does not answer pings");
        });
        connect(w, &QWebSocket::pong, pongDeadline, &QTimer::stop);
        connect(w, &QWebSocket::disconnected, this, [this, w] {
            if (webSockets_.contains(w))
                admission_.remove(webSockets_.take(w).admitted);
            w->deleteLater();
        });
        Q_EMIT webSocketJoined(w);
    }
}
