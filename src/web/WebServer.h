// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HttpRequest.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QTcpServer>
#include <QWebSocketServer>
#include <functional>

class QTcpSocket;
class QWebSocket;

// The page's HTTP/1.1 server on the event loop: the page's files, the state
// as JSON, the two commands and the WebSocket that carries live readings.
// It answers GET (and POST for commands) only, asks for the token on any
// address but loopback, and cuts off what could tie it up: heads over 8 KB,
// bodies over 1 KB, more than 64 clients, clients silent for 10 s.
class WebServer : public QObject {
    Q_OBJECT
public:
    struct Limits {
        int headBytes = 8 * 1024;
        int bodyBytes = 1024;
        int clients = 64;
        int idleMs = 10000;
        // Updates not yet taken by a WebSocket client.
        qint64 backlogBytes = 256 * 1024;
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
    // "in use" when another program holds the port.
    bool addressInUse() const { return inUse_; }

    void setLimits(const Limits& limits) { limits_ = limits; }
    // Empty: no token asked (loopback).
    void setToken(const QByteArray& token) { token_ = token; }
    void setCommandsEnabled(bool on) { commands_ = on; }
    void setStateProvider(std::function<QByteArray()> state) { state_ = std::move(state); }

    // Text to every WebSocket client.
    void broadcast(const QString& message);
    int webSocketCount() const { return int(webSockets_.size()); }
    // HTTP connections and WebSockets together.
    int clientCount() const { return int(httpClients_.size() + webSockets_.size()); }

    static constexpr const char* CookieName = "vossbridge_token";

Q_SIGNALS:
    // A new WebSocket client, to be sent what it missed.
    void webSocketJoined(QWebSocket* socket);
    // "alarm" or "peak" from the page's buttons.
    void commandRequested(const QByteArray& name);

private:
    class Connection;
    void accept();
    void readRequests(Connection* c);
    bool authorised(const HttpRequest& r, const Connection* c, QByteArray* newCookie) const;
    bool sameOrigin(const HttpRequest& r) const;
    bool hostAllowed(const HttpRequest& r) const;
    void respond(Connection* c, const HttpRequest& r, const QByteArray& body);
    void upgrade(Connection* c, const HttpRequest& r);
    void refuse(Connection* c, int status, const char* why, bool close = true);
    void forget(Connection* c);

    QTcpServer tcp_;
    QWebSocketServer ws_;
    Limits limits_;
    QByteArray token_;
    bool commands_ = false;
    bool loopback_ = true;
    QString error_;
    bool inUse_ = false;
    std::function<QByteArray()> state_;
    QSet<Connection*> httpClients_;
    QSet<QWebSocket*> webSockets_;
    QByteArray page_, script_, style_;
};
