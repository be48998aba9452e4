// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ClientAdmission.h"
#include "PageAccess.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocketServer>
#include <functional>

class QTcpSocket;
class QWebSocket;

// The page's HTTP/1.1 server on the event loop: the page's files, the state
// as JSON, the metrics, the two commands and the WebSocket that carries live
// readings. What may be had is decided by Decide(); here every client is held
// to a deadline for each phase of a request, to what it may leave unread, and
// to a slot that a client which has shown nothing yet gives up to a newcomer
// (ClientAdmission). A WebSocket that stops answering pings gives up its slot.
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
        int idleMs = 10000;   // silence before a request
        int headMs = 10000;   // a whole head, from its first byte
        int bodyMs = 10000;   // a whole body, from its head
        int answerMs = 10000; // a last answer taken, from its sending
        // A WebSocket is pinged this often and lets go when no pong comes
        // within pongMs, so a dead client frees its slot while no readings go.
        int pingMs = 20000;
        int pongMs = 10000;
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

    // Takes effect for clients that come after; deadlines at the next listen().
    void setLimits(const Limits& limits);
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
    int clientCount() const { return admission_.count(); }
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
    // A slot for a newcomer from peer, made by letting a silent client go.
    bool makeRoom(const QHostAddress& peer);
    void readRequests(Connection* c);
    void respond(Connection* c, const HttpRequest& r, const Decision& d);
    void answer(Connection* c, int status, const QByteArray& type, const QByteArray& body,
                const QByteArray& extra, bool close);
    void upgrade(Connection* c);
    void webSocketReady();
    void pingWebSockets();
    void dropWebSocket(QWebSocket* w, const char* why);
    void refuse(Connection* c, int status, const char* why);
    void cut(Connection* c, const char* why);
    // Its slot goes on when a WebSocket takes it over.
    void forget(Connection* c, bool slotGoesOn = false);

    QTcpServer tcp_;
    QWebSocketServer ws_;
    Limits limits_;
    PageRules rules_;
    QString error_;
    bool inUse_ = false;
    std::function<QByteArray()> state_;
    std::function<QByteArray()> metrics_;
    ClientAdmission admission_;
    QSet<Connection*> httpClients_;
    struct WebSocketClient {
        quint64 admitted = 0;
        QTimer* pongDeadline = nullptr;
    };
    QHash<QWebSocket*, WebSocketClient> webSockets_;
    QTimer pingTimer_;
    quint64 refusals_ = 0;
    QByteArray page_, script_, style_;
};
