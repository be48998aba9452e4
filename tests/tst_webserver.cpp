// SPDX-License-Identifier: GPL-3.0-or-later
// The web page's server holds each client to a deadline per phase, to what it
// leaves unread and to a slot; the head's limit does not depend on how the
// bytes arrive. Server and clients run in this process, on loopback.
#include "ClientRig.h"
#include "WebServer.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QWebSocket>

using namespace ClientRig;

class TestWebServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void headLimitHoldsHoweverSplit_data();
    void headLimitHoldsHoweverSplit();
    void slowAndSilentClientsAreCutOff();
    void lastAnswerHasItsOwnDeadline();
    void deadWebSocketGivesUpItsSlot();
    void newcomersTakeTheSlotsOfClientsThatShowedNothing();
    void clientThatNeverReadsIsHeldThenCut();
};

namespace {
struct Served {
    explicit Served(const WebServer::Limits& limits = {}, const QByteArray& state = "{}")
    {
        server.setLimits(limits);
        server.setStateProvider([state] { return state; });
        listening = server.listen(QHostAddress::LocalHost, 0);
    }
    QByteArray head(const QByteArray& path, const QByteArray& fields = {}) const
    {
        return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(server.port()) +
               "\r\n" + fields + "\r\n";
    }
    WebServer server;
    bool listening = false;
};

// The answer's head as far as it came before the server closed.
QByteArray AnswerHead(QTcpSocket& s)
{
    QByteArray got;
    // What came before the deadline is what tells.
    static_cast<void>(QTest::qWaitFor(
        [&] {
            got += s.readAll();
            return got.contains("\r\n\r\n") || Gone(s);
        },
        10000));
    return got;
}

// The answer's status; 0 when the server closed without answering.
int Status(QTcpSocket& s)
{
    const QByteArray got = AnswerHead(s);
    return got.startsWith("HTTP/1.1 ") ? got.mid(9, 3).toInt() : 0;
}

int Exchange(quint16 port, const QByteArray& raw)
{
    const auto s = Connect(port, raw);
    return Status(*s);
}

qint64 ResidentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression rss(QStringLiteral("VmRSS:\\s+(\\d+)"));
    return rss.match(QString::fromLatin1(f.readAll())).captured(1).toLongLong();
}
} // namespace

void TestWebServer::headLimitHoldsHoweverSplit_data()
{
    // The head's length beyond the limit; sent in one piece or, around the
    // limit, a byte at a time.
    QTest::addColumn<int>("beyond");
    QTest::addColumn<bool>("bytewise");
    QTest::addColumn<int>("status");
    for (const bool bytewise : {false, true})
        for (const auto& [beyond, status] : {std::pair{-1, 200}, {0, 200}, {1, 431}, {4, 431}})
            QTest::addRow("%d beyond the limit, %s", beyond,
                          bytewise ? "a byte at a time" : "in one piece")
                << beyond << bytewise << status;
}

void TestWebServer::headLimitHoldsHoweverSplit()
{
    QFETCH(int, beyond);
    QFETCH(bool, bytewise);
    QFETCH(int, status);
    WebServer::Limits limits;
    limits.headBytes = 256;
    Served web(limits);
    QVERIFY(web.listening);
    const QByteArray bare = web.head("/api/state", "Connection: close\r\nX-Pad: \r\n");
    const QByteArray head = web.head(
        "/api/state",
        "Connection: close\r\nX-Pad: " + QByteArray(256 + beyond - bare.size(), 'a') + "\r\n");
    QCOMPARE(head.size(), 256 + beyond);
    const qsizetype start = bytewise ? 256 - 8 : head.size();
    const auto s = Connect(web.server.port(), head.left(start));
    for (qsizetype i = start; i < head.size() && !Gone(*s); ++i) {
        QTest::qWait(10); // so that the server reads each byte on its own
        s->write(head.mid(i, 1));
    }
    QCOMPARE(Status(*s), status);
}

void TestWebServer::slowAndSilentClientsAreCutOff()
{
    WebServer::Limits limits;
    limits.idleMs = limits.headMs = limits.bodyMs = 1000;
    Served web(limits);
    web.server.setCommandsEnabled(true);
    QVERIFY(web.listening);
    const quint16 port = web.server.port();
    const QByteArray origin = "Origin: http://127.0.0.1:" + QByteArray::number(port) + "\r\n";
    const QByteArray post =
        web.head("/api/command/peak", origin + "Content-Length: 60\r\n").replace("GET", "POST") +
        QByteArray(60, 'x');
    // (name, what the client sends at once, then a byte each 100 ms)
    const std::vector<std::tuple<const char*, QByteArray, QByteArray>> rows{
        {"nothing", "", ""},
        {"half a head", "GET / HTTP/1.1\r\nHost: x", ""},
        {"a head a byte at a time", "GET / HTTP/1.1\r\n", "X-Pad: " + QByteArray(60, 'a')},
        {"a body a byte at a time", post.chopped(60), post.right(60)},
    };
    std::vector<std::unique_ptr<Trickle>> clients;
    for (const auto& [name, first, rest] : rows)
        clients.push_back(std::make_unique<Trickle>(port, first, rest, 100));
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(clients.begin(), clients.end(),
                                         [](const auto& t) { return Gone(t->socket()); }),
                             20000);
    // ... before it could send all it had, and without a word.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QVERIFY2(std::get<2>(rows[i]).isEmpty() || !clients[i]->sentAll(), std::get<0>(rows[i]));
        QVERIFY2(clients[i]->socket().readAll().isEmpty(), std::get<0>(rows[i]));
    }
    QCOMPARE(web.server.clientCount(), 0);
}

void TestWebServer::lastAnswerHasItsOwnDeadline()
{
    // A big answer, asked for late in the head's time, taken after that time.
    WebServer::Limits limits;
    limits.headMs = 3000;
    const QByteArray state(2 * 1024 * 1024, 'x');
    Served web(limits, state);
    QVERIFY(web.listening);
    const QByteArray head = web.head("/api/state", "Connection: close\r\n");
    Flooder client(web.server.port(), head.chopped(2), 1);
    QTest::qWait(1000);
    client.socket().write("\r\n");
    QTest::qWait(limits.headMs); // the head's time is surely over
    client.read();
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += client.socket().readAll(), Gone(client.socket())), 20000);
    got += client.socket().readAll();
    QVERIFY2(got.endsWith(state), got.left(200));
}

void TestWebServer::deadWebSocketGivesUpItsSlot()
{
    WebServer::Limits limits;
    limits.clients = 2;
    limits.pingMs = 300;
    limits.pongMs = 3000;
    Served web(limits);
    QVERIFY(web.listening);
    const quint16 port = web.server.port();
    const QByteArray origin = "http://127.0.0.1:" + QByteArray::number(port);
    QWebSocket live(QString::fromLatin1(origin));
    live.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    // Its handshake, and then never a pong.
    const auto dead =
        Connect(port, web.head("/ws", "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                                      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                      "Sec-WebSocket-Version: 13\r\nOrigin: " +
                                          origin + "\r\n"));
    QCOMPARE(Status(*dead), 101);
    QTRY_COMPARE(web.server.webSocketCount(), 2);
    QCOMPARE(Exchange(port, web.head("/api/state")), 0); // no slot
    QTRY_COMPARE_WITH_TIMEOUT(Exchange(port, web.head("/api/state")), 200, 20000);
    QCOMPARE(web.server.webSocketCount(), 1);
    int heard = 0;
    connect(&live, &QWebSocket::textMessageReceived, this, [&] { ++heard; });
    web.server.broadcast(QStringLiteral("{}"));
    QTRY_COMPARE(heard, 1); // the one that answers keeps its slot
}

void TestWebServer::newcomersTakeTheSlotsOfClientsThatShowedNothing()
{
    Served web;
    QVERIFY(web.listening);
    const quint16 port = web.server.port();
    auto idle = Crowd(port, 70);
    QCOMPARE(Exchange(port, web.head("/api/state")), 200);
    // 64 clients served keep their slots; the 65th is turned away.
    std::vector<std::unique_ptr<QTcpSocket>> kept;
    for (int i = 0; i < 64; ++i) {
        kept.push_back(Connect(port, web.head("/app.js")));
        QCOMPARE(Status(*kept.back()), 200);
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("already 64 clients")));
    QCOMPARE(Exchange(port, web.head("/api/state")), 0);
    kept.clear();
    idle.clear();
    QTRY_COMPARE_WITH_TIMEOUT(Exchange(port, web.head("/api/state")), 200, 10000);
}

void TestWebServer::clientThatNeverReadsIsHeldThenCut()
{
    WebServer::Limits limits;
    limits.idleMs = 1000;
    Served web(limits);
    QVERIFY(web.listening);
    Flooder deaf(web.server.port(), web.head("/app.js"), 8000);
    const qint64 before = ResidentKb();
    qint64 peak = before;
    QTest::ignoreMessage(QtInfoMsg,
                         QRegularExpression(QStringLiteral("does not read its answers")));
    QTRY_VERIFY_WITH_TIMEOUT((peak = std::max(peak, ResidentKb()), web.server.refusals() == 1),
                             30000);
    QVERIFY2(peak - before < 6 * 1024, "kB more resident while it did not read");
}

QTEST_GUILESS_MAIN(TestWebServer)
#include "tst_webserver.moc"
