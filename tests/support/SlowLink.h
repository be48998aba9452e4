// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <deque>
#include <memory>
#include <vector>

// A slow network path between a client and a server on loopback, in the
// test process: each direction delays every byte by `delayMs` and carries at
// most `bytesPerSecond`, as a radio or satellite link does. stall() makes
// the connections open now carry nothing more, ever, as a path that died
// without a word (no FIN, no RST); connections made after it go through.
class SlowLink : public QObject {
public:
    SlowLink(quint16 serverPort, int delayMs, int bytesPerSecond)
        : serverPort_(serverPort), delayMs_(delayMs), bytesPerSecond_(bytesPerSecond)
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = server_.nextPendingConnection())
                open(client);
        });
        clock_.start();
        pump_.setInterval(5);
        connect(&pump_, &QTimer::timeout, this, &SlowLink::pump);
        pump_.start();
    }
    ~SlowLink() override
    {
        for (auto& p : pipes_)
            for (QTcpSocket* s : {p->client, p->server}) {
                s->disconnect(this);
                s->abort();
                delete s;
            }
    }

    quint16 port() const { return server_.serverPort(); }
    void stall()
    {
        for (auto& p : pipes_)
            p->stalled = true;
    }
    int connectionsMade() const { return made_; }

private:
    struct Chunk {
        qint64 due;
        QByteArray bytes;
    };
    struct Direction {
        std::deque<Chunk> queue;
        double budget = 0;
    };
    struct Pipe {
        QTcpSocket* client;
        QTcpSocket* server;
        Direction up;   // client to server
        Direction down; // server to client
        bool stalled = false;
    };

    void open(QTcpSocket* client)
    {
        ++made_;
        auto pipe = std::make_unique<Pipe>();
        Pipe* p = pipe.get();
        p->client = client;
        client->setParent(nullptr);
        p->server = new QTcpSocket;
        p->server->connectToHost(QHostAddress::LocalHost, serverPort_);
        const auto take = [this](QTcpSocket* from, Direction& d) {
            d.queue.push_back({clock_.elapsed() + delayMs_, from->readAll()});
        };
        connect(client, &QTcpSocket::readyRead, this, [=] { take(client, p->up); });
        connect(p->server, &QTcpSocket::readyRead, this, [=] { take(p->server, p->down); });
        // One end gone: the other goes too, unless the path is dead and
        // nobody would hear of it.
        for (QTcpSocket* s : {client, p->server})
            connect(s, &QTcpSocket::disconnected, this, [=] {
                if (!p->stalled) {
                    p->client->disconnectFromHost();
                    p->server->disconnectFromHost();
                }
            });
        pipes_.push_back(std::move(pipe));
    }

    void pump()
    {
        const qint64 now = clock_.elapsed();
        const double gained = bytesPerSecond_ * double(now - lastPump_) / 1000.0;
        lastPump_ = now;
        for (auto& p : pipes_) {
            if (p->stalled)
                continue;
            send(p->up, p->server, gained, now);
            send(p->down, p->client, gained, now);
        }
    }
    void send(Direction& d, QTcpSocket* to, double gained, qint64 now)
    {
        // No saving up while idle beyond a tenth of a second's worth.
        d.budget = std::min(d.budget + gained, bytesPerSecond_ / 10.0);
        while (!d.queue.empty() && d.queue.front().due <= now && d.budget >= 1 &&
               to->state() == QAbstractSocket::ConnectedState) {
            QByteArray& bytes = d.queue.front().bytes;
            const qsizetype n = std::min<qsizetype>(bytes.size(), qsizetype(d.budget));
            to->write(bytes.left(n));
            bytes.remove(0, n);
            d.budget -= double(n);
            if (bytes.isEmpty())
                d.queue.pop_front();
        }
    }

    quint16 serverPort_;
    int delayMs_;
    int bytesPerSecond_;
    int made_ = 0;
    QTcpServer server_;
    QTimer pump_;
    QElapsedTimer clock_;
    qint64 lastPump_ = 0;
    std::vector<std::unique_ptr<Pipe>> pipes_;
};
