// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RigRelay.h"
#include "RigctlProtocol.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <optional>

class QTcpSocket;

// Serves Hamlib network clients (rigctl -m 2, WSJT-X, fldigi ...). The
// meter's levels, \chk_vfo, \dump_state and "q" are answered here; every
// other command goes to the relay, or fails cleanly without one. Each
// client's commands are handled in order, one at a time.
class RigctlServer : public QObject {
    Q_OBJECT
public:
    // A client that lets this much of its answers pile up is not reading.
    static constexpr qint64 MaxPendingOutput = 256 * 1024;
    static constexpr int MaxClients = 64;

    explicit RigctlServer(QObject* parent = nullptr);
    ~RigctlServer() override;

    bool listen(const QHostAddress& address, quint16 port);
    void close();
    bool isListening() const { return server_.isListening(); }
    quint16 serverPort() const { return server_.serverPort(); }
    QString errorString() const { return server_.errorString(); }

    // A client's \chk_vfo and \dump_state wait this long for a rig daemon
    // that is still being reached, before the meter-only answers go.
    static constexpr int DefaultOpeningHoldMs = 3000;

    // Nothing: meter-only, rig commands fail.
    void setRelay(RigRelay* relay);
    void setOpeningHold(int ms) { openingHoldMs_ = ms; }
    // While on, every request to key the rig is answered "RPRT -9" (rejected)
    // and never reaches the rig's daemon.
    void setKeyingRefused(bool refused) { keyingRefused_ = refused; }
    bool keyingRefused() const { return keyingRefused_; }
    void setReading(const StatusRecord& record);
    int clientCount() const { return static_cast<int>(clients_.size()); }

Q_SIGNALS:
    void clientsChanged();
    // A client asks the rig to transmit.
    void keyRequested(const QString& peer);
    // ... and was refused.
    void keyRefused(const QString& peer);

private:
    struct Client {
        QByteArray input;
        bool waiting = false;  // a relayed command is out
        bool chkVfo = false;   // the client has sent \chk_vfo
        bool dropping = false; // going away; nothing more is read
        // \chk_vfo or \dump_state waiting for the rig daemon's own answer.
        std::optional<Rigctl::Command> held;
        QElapsedTimer since; // connected
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void onDisconnected(QTcpSocket* socket);
    void handleLines(QTcpSocket* socket);
    // False when the line leaves the client waiting or gone.
    bool handleLine(QTcpSocket* socket, Client& client, const QByteArray& line);
    void reply(QTcpSocket* socket, Client& client, const QByteArray& answer);
    void drop(QTcpSocket* socket, Client& client, const char* why, bool flush);
    QByteArray dumpState(const Rigctl::Command& command, bool chkVfo) const;
    // Answers \chk_vfo or \dump_state with what is known now.
    void answerOpening(QTcpSocket* socket, Client& client, const Rigctl::Command& command);
    // A daemon configured and not yet read: its answers may come within the hold.
    bool rigBeingReached() const;
    void releaseHeld(QTcpSocket* socket);
    void relayStateChanged();
    static QString peerText(const QTcpSocket* socket);

    QTcpServer server_;
    QPointer<RigRelay> relay_;
    QHash<QTcpSocket*, Client> clients_;
    bool haveReading_ = false;
    bool keyingRefused_ = false;
    int openingHoldMs_ = DefaultOpeningHoldMs;
    Rigctl::MeterReading reading_;
};
