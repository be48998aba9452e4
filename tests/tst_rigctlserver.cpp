// SPDX-License-Identifier: GPL-3.0-or-later
// The station link's server holds each client to what a rigctl client does:
// whole short lines, soon, and answers taken. Clients run in this process.
#include "RigctlServer.h"

#include <QTcpSocket>
#include <QTest>
#include <memory>

class TestRigctlServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void clientsAreBounded();
};

namespace {
std::unique_ptr<QTcpSocket> Connect(quint16 port, const QByteArray& send = {})
{
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(QHostAddress::LocalHost, port);
    // The server accepts on this same event loop.
    if (QTest::qWaitFor([&] { return s->state() == QAbstractSocket::ConnectedState; }, 5000) &&
        !send.isEmpty())
        s->write(send);
    return s;
}

bool Answers(QTcpSocket& s, const QByteArray& line)
{
    s.readAll();
    s.write(line);
    return QTest::qWaitFor([&] { return s.canReadLine(); }, 5000);
}
} // namespace

void TestRigctlServer::clientsAreBounded()
{
    RigctlServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    // (name, client; whether the server is to cut it off)
    struct Row {
        const char* name;
        std::unique_ptr<QTcpSocket> client;
        bool cut;
    };
    std::vector<Row> rows;
    rows.push_back({"a line longer than any command", Connect(port, QByteArray(2000, 'f')), true});
    rows.push_back({"says nothing", Connect(port), true});
    rows.push_back({"a command, then silent", Connect(port, "\\chk_vfo\n"), false});
    rows.push_back({"a line a byte at a time", Connect(port, "\\chk_vfo\nl SW"), true});
    auto deaf = Connect(port);
    deaf->setReadBufferSize(1);
    QByteArray flood;
    for (int i = 0; i < 100000; ++i)
        flood += "l SWR\n";
    deaf->write(flood);
    rows.push_back({"sends without end, never reads", std::move(deaf), true});
    // A byte every 2 s keeps the trickling line going, never finishing it.
    QTimer trickle;
    connect(&trickle, &QTimer::timeout, rows[3].client.get(), [&] { rows[3].client->write("R"); });
    trickle.start(2000);
    // Seventy clients that send nothing give way to one that has a command.
    std::vector<std::unique_ptr<QTcpSocket>> silent;
    for (int i = 0; i < 70; ++i)
        silent.push_back(Connect(port));
    auto owner = Connect(port);
    QVERIFY(Answers(*owner, "l SWR\n"));

    QTRY_COMPARE_WITH_TIMEOUT(server.clientCount(), 2, 60000);
    rows[4].client->setReadBufferSize(0); // reads again, and finds itself cut off
    const auto gone = [](const Row& r) {
        return r.client->state() == QAbstractSocket::UnconnectedState;
    };
    QTRY_VERIFY(
        std::all_of(rows.begin(), rows.end(), [&](const Row& r) { return gone(r) == r.cut; }));
    for (const Row& r : rows)
        QVERIFY2(gone(r) == r.cut, r.name);
    QVERIFY(Answers(*rows[2].client, "l SWR\n"));
    QVERIFY(Answers(*owner, "l SWR\n"));
    QVERIFY(server.refusals() >= 70 + 4);
}

QTEST_GUILESS_MAIN(TestRigctlServer)
#include "tst_rigctlserver.moc"
