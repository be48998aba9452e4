// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

// The clients that tie a server up, in the test's own process (the servers
// accept on the same event loop): one that says nothing, one that trickles
// what it has a byte at a time, one that floods without ever reading, and a
// crowd of silent ones. Each is a plain QTcpSocket on loopback.
namespace ClientRig {

inline std::unique_ptr<QTcpSocket> Connect(quint16 port, const QByteArray& send = {})
{
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(QHostAddress::LocalHost, port);
    if (QTest::qWaitFor([&] { return s->state() == QAbstractSocket::ConnectedState; }, 5000) &&
        !send.isEmpty())
        s->write(send);
    return s;
}

inline bool Gone(const QTcpSocket& s)
{
    return s.state() == QAbstractSocket::UnconnectedState;
}

// Many clients that connect and say nothing.
inline std::vector<std::unique_ptr<QTcpSocket>> Crowd(quint16 port, int count)
{
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    for (int i = 0; i < count; ++i)
        crowd.push_back(Connect(port));
    return crowd;
}

// Sends `first` at once, then `rest` a byte every `everyMs`, until all is
// sent or the server lets it go.
class Trickle : public QObject {
public:
    Trickle(quint16 port, const QByteArray& first, const QByteArray& rest, int everyMs)
        : socket_(Connect(port, first)), rest_(rest)
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (sent_ < rest_.size() && !Gone(*socket_))
                socket_->write(rest_.mid(sent_++, 1));
        });
        timer_.start(everyMs);
    }
    // All of it went out: the server waited longer than it should.
    bool sentAll() const { return sent_ == rest_.size(); }
    QTcpSocket& socket() { return *socket_; }

private:
    std::unique_ptr<QTcpSocket> socket_;
    QByteArray rest_;
    qsizetype sent_ = 0;
    QTimer timer_;
};

// Sends `unit` `times` over, and reads nothing until read() (a byte of its
// own buffer, nothing from the kernel): what the server answers piles up.
class Flooder {
public:
    Flooder(quint16 port, const QByteArray& unit, int times) : socket_(Connect(port))
    {
        socket_->setReadBufferSize(1);
        socket_->write(unit.repeated(times));
    }
    void read() { socket_->setReadBufferSize(0); }
    QTcpSocket& socket() { return *socket_; }

private:
    std::unique_ptr<QTcpSocket> socket_;
};

} // namespace ClientRig
