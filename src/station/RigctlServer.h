// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ClientAdmission.h"
#include "RigRelay.h"
#include "RigctlProtocol.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <optional>

class QTcpSocket;
class QTimer;

// Serves Hamlib network clients (rigctl -m 2, WSJT-X, fldigi ...). The
// meter's levels, \chk_vfo, \dump_state and "q" are answered here; every
// other command goes to the relay, or fails cleanly without one. Each
// client's commands are handled in order, one at a time, and each client is
// bounded: a whole line within a deadline of its first byte, what it sends
// ahead and what it leaves unread, and a slot that a client which has not yet
// sent a command gives up to a newcomer.
class RigctlServer : public QObject {
    Q_OBJECT
public:
    // A client that lets this much of its answers pile up is not read from;
    // the kernel's own queue is kept small so the count here is what waits.
    static constexpr qint64 MaxPendingOutput = 64 * 1024;
    static constexpr int SendBufferBytes = 16 * 1024;
    // Sent ahead of its answers: beyond this a client is not read from.
    static constexpr qint64 MaxPendingInput = 4 * Rigctl::MaxLineLength;
    static constexpr int MaxClients = 64;
    // Clients that have not yet sent a whole command, in all and from one
    // address other than loopback: beyond these the oldest makes way for a
    // newcomer.
    static constexpr int MaxNewClients = 32;
    static constexpr int MaxNewClientsPerAddress = 16;
    // A whole line from its first byte, a first command from the connect,
    // and answers taken once they piled up.
    static constexpr int LineMs = 10000;

    explicit RigctlServer(QObject* parent = nullptr);
    ~RigctlServer() override;

    bool listen(const QHostAddress& address, quint16 port);
    void close();
    bool isListening() const { return server_.isListening(); }
    quint16 serverPort() const { return server_.serverPort(); }
    QString errorString() const { return server_.errorString(); }
    QAbstractSocket::SocketError serverError() const { return server_.serverError(); }

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
    // Clients turned away or cut off since the start.
    quint64 refusals() const { return refusals_; }

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
        QElapsedTimer since;  // connected
        quint64 admitted = 0; // its number in the admission
        bool proven = false;  // has sent a whole command
        // What the deadline runs for: the first command, a part-read line,
        // answers left unread.
        enum class Wait { None, FirstCommand, Line, Reader };
        Wait wait = Wait::FirstCommand;
        QTimer* deadline = nullptr;
    };

    void onNewConnection();
    // A slot for a newcomer from peer, made by letting a silent client go.
    bool makeRoom(const QHostAddress& peer);
    // Takes what the socket holds, up to what a client may send ahead.
    void take(QTcpSocket* socket, Client& client);
    void await(Client& client, Client::Wait wait);
    void evict(QTcpSocket* socket, const char* why);
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
    bool keyingRefused_ = false;
    int openingHoldMs_ = DefaultOpeningHoldMs;
    Rigctl::MeterReading reading_;
    ClientAdmission admission_{{MaxClients, MaxNewClients, MaxNewClientsPerAddress}};
    quint64 refusals_ = 0;
};
