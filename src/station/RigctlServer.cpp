// SPDX-License-Identifier: GPL-3.0-or-later
#include "RigctlServer.h"

#include "HostPort.h"
#include "RigRelay.h"
#include "StationLog.h"

#include <QTcpSocket>
#include <QTimer>

using namespace Rigctl;

RigctlServer::RigctlServer(QObject* parent) : QObject(parent)
{
    connect(&server_, &QTcpServer::newConnection, this, &RigctlServer::onNewConnection);
}

RigctlServer::~RigctlServer()
{
    close();
}

bool RigctlServer::listen(const QHostAddress& address, quint16 port)
{
    close();
    return server_.listen(address, port);
}

void RigctlServer::close()
{
    server_.close();
    const QList<QTcpSocket*> sockets = clients_.keys();
    clients_.clear();
    admission_.clear();
    for (QTcpSocket* s : sockets) {
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
    if (!sockets.isEmpty())
        Q_EMIT clientsChanged();
}

void RigctlServer::setRelay(RigRelay* relay)
{
    if (relay_)
        relay_->disconnect(this);
    relay_ = relay;
    if (relay_)
        connect(relay_, &RigRelay::stateChanged, this, &RigctlServer::relayStateChanged);
    relayStateChanged();
}

bool RigctlServer::rigBeingReached() const
{
    return relay_ && !relay_->dumpState() && relay_->state() != RigRelay::State::Connected;
}

void RigctlServer::relayStateChanged()
{
    if (rigBeingReached())
        return;
    const QList<QTcpSocket*> sockets = clients_.keys();
    for (QTcpSocket* s : sockets)
        releaseHeld(s);
}

void RigctlServer::releaseHeld(QTcpSocket* socket)
{
    auto it = clients_.find(socket);
    if (it == clients_.end() || !it->held)
        return;
    const Command command = *std::exchange(it->held, std::nullopt);
    it->waiting = false;
    if (rigBeingReached())
        qCInfo(lcStation).noquote() << "rig daemon still not reached; client" << peerText(socket)
                                    << "gets the meter-only answers";
    answerOpening(socket, *it, command);
    handleLines(socket);
}

QString RigctlServer::peerText(const QTcpSocket* socket)
{
    return HostPortText(socket->peerAddress(), socket->peerPort());
}

void RigctlServer::setReading(const StatusRecord& record)
{
    reading_ = ReadingOf(record);
}

bool RigctlServer::makeRoom(const QHostAddress& peer)
{
    const ClientAdmission::Verdict verdict = admission_.judge(peer);
    if (verdict.makesWay)
        for (auto it = clients_.cbegin(); it != clients_.cend(); ++it)
            if (it->admitted == *verdict.makesWay) {
                evict(it.key(), verdict.why);
                break;
            }
    return verdict.admitted;
}

void RigctlServer::evict(QTcpSocket* socket, const char* why)
{
    qCWarning(lcStation) << "dropped client" << socket->peerAddress() << socket->peerPort() << "-"
                         << why;
    ++refusals_;
    admission_.remove(clients_.take(socket).admitted);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    Q_EMIT clientsChanged();
}

void RigctlServer::onNewConnection()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (!makeRoom(socket->peerAddress())) {
            qCWarning(lcStation) << "too many clients; refused" << socket->peerAddress();
            ++refusals_;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, SendBufferBytes);
        // What a client sends ahead waits in the kernel, not here.
        socket->setReadBufferSize(MaxPendingInput);
        Client client;
        client.since.start();
        client.admitted = admission_.add(socket->peerAddress());
        client.deadline = new QTimer(socket);
        client.deadline->setSingleShot(true);
        client.deadline->start(LineMs);
        connect(client.deadline, &QTimer::timeout, this, [this, socket] {
            auto it = clients_.find(socket);
            if (it == clients_.end() || it->dropping)
                return;
            using W = Client::Wait;
            drop(socket, *it,
                 it->wait == W::FirstCommand ? "sent no command in time"
                 : it->wait == W::Line       ? "its line took too long"
                                             : "it does not read its answers",
                 false);
        });
        clients_.insert(socket, client);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket] { onDisconnected(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            // Room again for a client that was held back by its own answers.
            if (clients_.contains(socket))
                handleLines(socket);
        });
        qCDebug(lcStation) << "client connected from" << socket->peerAddress();
        Q_EMIT clientsChanged();
    }
}

void RigctlServer::onDisconnected(QTcpSocket* socket)
{
    const auto it = clients_.constFind(socket);
    if (it == clients_.cend())
        return;
    admission_.remove(it->admitted);
    clients_.erase(it);
    socket->deleteLater();
    Q_EMIT clientsChanged();
}

void RigctlServer::drop(QTcpSocket* socket, Client& client, const char* why, bool flush)
{
    qCWarning(lcStation) << "dropped client" << socket->peerAddress() << socket->peerPort() << "-"
                         << why;
    ++refusals_;
    client.dropping = true;
    client.deadline->stop();
    client.input.clear();
    // Its error answer goes out first, unless answers are what it won't take.
    if (flush)
        QMetaObject::invokeMethod(socket, &QTcpSocket::disconnectFromHost, Qt::QueuedConnection);
    else
        QMetaObject::invokeMethod(socket, &QTcpSocket::abort, Qt::QueuedConnection);
}

void RigctlServer::onReadyRead(QTcpSocket* socket)
{
    auto it = clients_.find(socket);
    if (it == clients_.end() || it->dropping) {
        socket->readAll();
        return;
    }
    handleLines(socket);
}

void RigctlServer::take(QTcpSocket* socket, Client& client)
{
    const qint64 room = MaxPendingInput - client.input.size();
    if (room > 0 && socket->bytesAvailable() > 0)
        client.input += socket->read(room);
}

void RigctlServer::await(Client& client, Client::Wait wait)
{
    // A client that has not yet sent a command keeps its first deadline.
    if (!client.proven || wait == client.wait)
        return;
    client.wait = wait;
    if (wait == Client::Wait::None)
        client.deadline->stop();
    else
        client.deadline->start(LineMs);
}

void RigctlServer::reply(QTcpSocket* socket, Client& client, const QByteArray& answer)
{
    socket->write(answer);
    if (socket->bytesToWrite() > MaxPendingOutput)
        drop(socket, client, "it does not read its answers", false);
}

void RigctlServer::handleLines(QTcpSocket* socket)
{
    auto it = clients_.find(socket);
    if (it == clients_.end())
        return;
    Client& client = *it;
    while (!client.waiting && !client.dropping) {
        // Answers still piling up: read on only once the client takes them.
        if (socket->bytesToWrite() > MaxPendingOutput / 2)
            return await(client, Client::Wait::Reader);
        take(socket, client);
        const qsizetype end = client.input.indexOf('\n');
        if (end < 0) {
            if (client.input.size() > MaxLineLength) {
                reply(socket, client, MalformedAnswer({}));
                drop(socket, client, "its line is too long", true);
                return;
            }
            return await(client, client.input.isEmpty() ? Client::Wait::None : Client::Wait::Line);
        }
        const QByteArray line = client.input.left(end);
        client.input.remove(0, end + 1);
        if (!client.proven) {
            client.proven = true;
            admission_.prove(client.admitted);
            client.wait = Client::Wait::Line; // so that the next await starts anew
        }
        await(client, Client::Wait::None);
        if (line.size() > MaxLineLength) {
            reply(socket, client, MalformedAnswer({}));
            drop(socket, client, "its line is too long", true);
            return;
        }
        if (!handleLine(socket, client, line))
            return;
    }
}

QByteArray RigctlServer::dumpState(const Command& command, bool chkVfo) const
{
    QByteArray state = MeterOnlyDumpState();
    if (relay_ && relay_->dumpState())
        state = *relay_->dumpState();
    if (!chkVfo)
        state = WithoutSettings(state);
    if (!command.extended())
        return state;
    return command.longName() + ':' + command.separator + state + "RPRT 0\n";
}

void RigctlServer::answerOpening(QTcpSocket* socket, Client& client, const Command& command)
{
    if (command.is("chk_vfo")) {
        client.chkVfo = true;
        const QByteArray value = relay_ && relay_->vfoMode() ? "1" : "0";
        reply(socket, client, (command.extended() ? "ChkVFO: " + value : value) + '\n');
    } else {
        reply(socket, client, dumpState(command, client.chkVfo));
    }
}

bool RigctlServer::handleLine(QTcpSocket* socket, Client& client, const QByteArray& line)
{
    Command command;
    const bool vfoMode = relay_ && relay_->vfoMode();
    switch (Parse(line, vfoMode, command)) {
    case ParseResult::Empty:
        return true;
    case ParseResult::Quit:
        client.dropping = true;
        QMetaObject::invokeMethod(socket, &QTcpSocket::disconnectFromHost, Qt::QueuedConnection);
        return false;
    case ParseResult::Malformed:
        qCDebug(lcStation) << "refused line" << line.left(80);
        reply(socket, client, MalformedAnswer(line));
        return !client.dropping;
    case ParseResult::Command:
        break;
    }
    if (command.is("chk_vfo") || command.is("dump_state")) {
        // A client reads these once, as it opens, and keeps them for its
        // whole session: a client that comes while the rig's daemon is still
        // being reached (both started together) waits for the daemon's own.
        const qint64 left = openingHoldMs_ - client.since.elapsed();
        if (rigBeingReached() && left > 0) {
            client.held = command;
            client.waiting = true;
            QTimer::singleShot(int(left), socket, [this, socket] { releaseHeld(socket); });
            return false;
        }
        answerOpening(socket, client, command);
        return !client.dropping;
    }
    if (command.is("get_level") && IsMeterLevel(command.args.back())) {
        const auto value = MeterLevel(command.args.back(), reading_);
        reply(socket, client,
              value ? ValuesAnswer(command, {{}}, {QByteArray::number(*value, 'f', 6)})
                    : ErrorAnswer(command, NotAvailable));
        return !client.dropping;
    }
    if (!relay_) {
        reply(socket, client, ErrorAnswer(command, NotAvailable));
        return !client.dropping;
    }
    if (command.is("set_ptt")) {
        bool number = false;
        const int ptt = command.args.back().toInt(&number);
        // Anything but a plain 0 may key the rig.
        if (!number || ptt != 0) {
            Q_EMIT keyRequested(peerText(socket));
            if (keyingRefused_) {
                Q_EMIT keyRefused(peerText(socket));
                reply(socket, client, ErrorAnswer(command, Rejected));
                return !client.dropping;
            }
        }
    }
    client.waiting = true;
    relay_->send(command, socket, [this, socket](const QByteArray& answer) {
        auto it = clients_.find(socket);
        if (it == clients_.end())
            return; // the client left while its command was out
        it->waiting = false;
        reply(socket, *it, answer);
        handleLines(socket);
    });
    return false;
}
