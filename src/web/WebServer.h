// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PageAccess.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QTcpServer>
#include <QWebSocketServer>
#include <functional>

class QTcpSocket;
class QWebSocket;

// The page's HTTP/1.1 server on the event loop: the page's files, the state
// as JSON, the metrics, the two commands and the WebSocket that carries live
// readings. What may be had is decided by Decide(); here every client is held
// to a deadline for each request, to what it may leave unread, and to a slot
// that a client which has shown nothing yet gives up to a newcomer.
class WebServer : public QObject {
    Q_OBJECT
public:
    struct Limits {
        int headBytes = 8 * 1024;
        int bodyBytes = 1024;
        int clients = 64;
        // Clients that have not yet made an authorised request, in all and
        // from one address other than loopback: beyond these the oldest
        // makes way.
        int newClients = 32;
        int newClientsPerAddress = 16;
        int idleMs = 10000; // silence before a request
        int headMs = 10000; // a whole head, from its first byte
        int bodyMs = 10000; // a whole body, from its head
        // Answers not yet taken: beyond this nothing more is read from an
        // HTTP client, and a WebSocket is let go. The kernel's own queue is
        // kept small, so that the count here is what really waits.
        qint64 backlogBytes = 128 * 1024;
        int sendBufferBytes = 16 * 1024;
    };

    explicit WebServer(QObject* parent = nullptr);
    ~WebServer() override;

    // Listens anew; false with errorText() when the address can't be had.
    // Port 0 picks a free port, which port() then tells.
    bool listen(const QHostAddress& address, quint16 port);
    void close();
    bool isListening() const { return tcp_.isListening(); }
    quint16 port() const { return tcp_.serverPort(); }
    QString errorText() const { return error_; }
    QAbstractSocket::SocketError serverError() const { return tcp_.serverError(); }
    // Another program holds the port.
    bool addressInUse() const { return inUse_; }

    void setLimits(const Limits& limits) { limits_ = limits; }
    // Empty: no token asked (loopback).
    void setToken(const QByteArray& token) { rules_.token = token; }
    void setCommandsEnabled(bool on) { rules_.commands = on; }
    // Names the page is also reached by (a proxy's), lower-case.
    void setUserNames(const QByteArrayList& names) { rules_.userNames = names; }
    void setStateProvider(std::function<QByteArray()> state) { state_ = std::move(state); }
    void setMetricsProvider(std::function<QByteArray()> metrics) { metrics_ = std::move(metrics); }

    // Text to every WebSocket client.
    void broadcast(const QString& message);
    int webSocketCount() const { return int(webSockets_.size()); }
    // HTTP connections, WebSockets and handshakes between them.
    int clientCount() const { return int(httpClients_.size() + webSockets_.size()); }
    // Clients cut off or turned away since the start.
    quint64 refusals() const { return refusals_; }

Q_SIGNALS:
    // A new WebSocket client, to be sent what it missed.
    void webSocketJoined(QWebSocket* socket);
    // "alarm" or "peak" from the page's buttons.
    void commandRequested(const QByteArray& name);

private:
    class Connection;
    void accept();
    void makeRoom(const QHostAddress& peer);
    void readRequests(Connection* c);
    void respond(Connection* c, const HttpRequest& r, const Decision& d);
    void answer(Connection* c, int status, const QByteArray& type, const QByteArray& body,
                const QByteArray& extra, bool close);
    void upgrade(Connection* c);
    void webSocketReady();
    void refuse(Connection* c, int status, const char* why);
    void cut(Connection* c, const char* why);
    void forget(Connection* c);

    QTcpServer tcp_;
    QWebSocketServer ws_;
    Limits limits_;
    PageRules rules_;
    QString error_;
    bool inUse_ = false;
    std::function<QByteArray()> state_;
    std::function<QByteArray()> metrics_;
    QSet<Connection*> httpClients_;
    QSet<QWebSocket*> webSockets_;
    quint64 serial_ = 0;
    quint64 refusals_ = 0;
    QByteArray page_, script_, style_;
};
