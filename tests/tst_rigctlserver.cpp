// SPDX-License-Identifier: GPL-3.0-or-later
// The station link's server holds each client to what a rigctl client does:
// whole short lines, soon, and answers taken. Clients run in this process.
#include "ClientRig.h"
#include "RigctlServer.h"

#include <QTest>

using namespace ClientRig;

class TestRigctlServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void clientsAreBounded();
};

namespace {
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
    // A byte every 2 s keeps the trickling line going, never finishing it.
    Trickle trickle(port, "\\chk_vfo\nl SW", QByteArray(100, 'R'), 2000);
    Flooder deaf(port, "l SWR\n", 100000);
    // (name, client; whether the server is to cut it off)
    const auto silent = Connect(port), sender = Connect(port, "\\chk_vfo\n"),
               tooLong = Connect(port, QByteArray(2000, 'f'));
    const std::vector<std::tuple<const char*, QTcpSocket*, bool>> rows{
        {"a line longer than any command", tooLong.get(), true},
        {"says nothing", silent.get(), true},
        {"a command, then silent", sender.get(), false},
        {"a line a byte at a time", &trickle.socket(), true},
        {"sends without end, never reads", &deaf.socket(), true},
    };
    // Seventy clients that send nothing give way to one that has a command.
    const auto crowd = Crowd(port, 70);
    auto owner = Connect(port);
    QVERIFY(Answers(*owner, "l SWR\n"));

    QTRY_COMPARE_WITH_TIMEOUT(server.clientCount(), 2, 60000);
    deaf.read(); // reads again, and finds itself cut off
    QTRY_VERIFY(std::all_of(rows.begin(), rows.end(),
                            [](const auto& r) { return Gone(*std::get<1>(r)) == std::get<2>(r); }));
    for (const auto& [name, client, cut] : rows)
        QVERIFY2(Gone(*client) == cut, name);
    QVERIFY(Answers(*sender, "l SWR\n"));
    QVERIFY(Answers(*owner, "l SWR\n"));
    QVERIFY(server.refusals() >= 70 + 4);
}

QTEST_GUILESS_MAIN(TestRigctlServer)
#include "tst_rigctlserver.moc"
