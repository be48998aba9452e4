// SPDX-License-Identifier: GPL-3.0-or-later
// The page's server: how a request's head is read, and who may have what;
// the network's rules it shares with the station link: host:port text,
// loopback, the retry pause, and a port taken by another program.
#include "FakeSettingsStore.h"
#include "HostPort.h"
#include "ListenAddress.h"
#include "Loopback.h"
#include "PageAccess.h"
#include "RetryPause.h"
#include "WebLink.h"

#include <QTcpServer>
#include <QTest>

class TestPageAccess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void decide_data();
    void decide();
    void hostPortText_data();
    void hostPortText();
    void loopback_data();
    void loopback();
    void retrySaidOncePerReason();
    void takenPortListenedOnceFree();
};

void TestPageAccess::parse_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("status"); // 0: read
    QTest::addColumn<bool>("keepAlive");
    QTest::addColumn<qint64>("length");
    const QByteArray get = "GET / HTTP/1.1\r\nHost: h\r\n";
    // clang-format off
    QTest::newRow("plain GET") << get << 0 << true << 0LL;
    QTest::newRow("bare LF line ends") << QByteArray("GET / HTTP/1.1\nHost: h\n") << 0 << true << 0LL;
    QTest::newRow("blank line before") << "\r\n" + get << 0 << true << 0LL;
    QTest::newRow("close among tokens") << get + "Connection: foo, Close\r\n" << 0 << false << 0LL;
    QTest::newRow("close as a substring") << get + "Connection: closed\r\n" << 0 << true << 0LL;
    QTest::newRow("HTTP/1.0 closes") << QByteArray("GET / HTTP/1.0\r\n") << 0 << false << 0LL;
    QTest::newRow("HTTP/1.0 keep-alive") << QByteArray("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n") << 0 << true << 0LL;
    QTest::newRow("Content-Length") << get + "Content-Length: 12\r\n" << 0 << true << 12LL;
    QTest::newRow("two Content-Length") << get + "Content-Length: 0\r\nContent-Length: 5\r\n" << 400 << false << 0LL;
    QTest::newRow("signed Content-Length") << get + "Content-Length: +3\r\n" << 400 << false << 0LL;
    QTest::newRow("spaced Content-Length") << get + "Content-Length: 1 2\r\n" << 400 << false << 0LL;
    QTest::newRow("empty Content-Length") << get + "Content-Length:\r\n" << 400 << false << 0LL;
    QTest::newRow("huge Content-Length") << get + "Content-Length: 9223372036854775808\r\n" << 400 << false << 0LL;
    QTest::newRow("two Host") << get + "Host: h\r\n" << 400 << false << 0LL;
    QTest::newRow("HTTP/1.1 without Host") << QByteArray("GET / HTTP/1.1\r\n") << 400 << false << 0LL;
    QTest::newRow("Transfer-Encoding") << get + "Transfer-Encoding: chunked\r\n" << 501 << false << 0LL;
    QTest::newRow("name not a token") << get + "X(a): 1\r\n" << 400 << false << 0LL;
    QTest::newRow("blank before the colon") << get + "Host : h\r\n" << 400 << false << 0LL;
    QTest::newRow("folded line") << get + "X-A: 1\r\n 2\r\n" << 400 << false << 0LL;
    QTest::newRow("bare CR") << get + "X-A: 1\r2\r\n" << 400 << false << 0LL;
    QTest::newRow("control in a value") << get + QByteArray("X-A: 1\0002\r\n", 10) << 400 << false << 0LL;
    QTest::newRow("HTTP/2.0") << QByteArray("GET / HTTP/2.0\r\nHost: h\r\n") << 400 << false << 0LL;
    QTest::newRow("two blanks in the line") << QByteArray("GET  / HTTP/1.1\r\nHost: h\r\n") << 400 << false << 0LL;
    QTest::newRow("target not a path") << QByteArray("GET http://h/ HTTP/1.1\r\nHost: h\r\n") << 400 << false << 0LL;
    // clang-format on
}

void TestPageAccess::parse()
{
    QFETCH(QByteArray, head);
    QFETCH(int, status);
    const ParsedHead p = ParseRequestHead(head);
    QCOMPARE(p.request ? 0 : p.status, status);
    QCOMPARE(HeadLength(head + "\r\nGET"), head.size() + 2); // the blank line ends it, not more
    if (p.request) {
        QTEST(p.request->keepAlive, "keepAlive");
        QTEST(p.request->contentLength, "length");
    }
}

void TestPageAccess::decide_data()
{
    QTest::addColumn<bool>("loopback");
    QTest::addColumn<bool>("commands");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("route");
    QTest::addColumn<int>("status");
    const int refused = int(Route::Refused);
    const QByteArray cmd = "POST /api/command/alarm HTTP/1.1\r\nHost: 127.0.0.1:8734\r\nOrigin: ";
    const QByteArray ws = "GET /ws HTTP/1.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nHost: ";
    const QByteArray tok = "GET /api/state HTTP/1.1\r\nHost: shack:8734\r\n";
    const QByteArray secret = "0123456789abcdef0123456789abcdef";
    // clang-format off
    QTest::newRow("loopback address") << true << false << QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1:8734\r\n") << int(Route::Page) << 200;
    QTest::newRow("localhost without port") << true << false << QByteArray("GET /app.js HTTP/1.1\r\nHost: LocalHost\r\n") << int(Route::Script) << 200;
    QTest::newRow("[::1]") << true << false << QByteArray("GET /metrics HTTP/1.1\r\nHost: [::1]:8734\r\n") << int(Route::Metrics) << 200;
    QTest::newRow("127.x.y.z") << true << false << QByteArray("GET /style.css HTTP/1.1\r\nHost: 127.45.6.7\r\n") << int(Route::Style) << 200;
    QTest::newRow("rebinding: 127.0.0.1.evil") << true << false << QByteArray("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1.evil.example:8734\r\n") << refused << 403;
    QTest::newRow("rebinding: [::1].evil") << true << false << QByteArray("GET / HTTP/1.1\r\nHost: [::1].evil.example\r\n") << refused << 403;
    QTest::newRow("rebinding: localhost:1@evil") << true << false << QByteArray("GET / HTTP/1.1\r\nHost: localhost:1@evil\r\n") << refused << 403;
    QTest::newRow("127.0.0.256") << true << false << QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.256\r\n") << refused << 403;
    QTest::newRow("127.1 shorthand") << true << false << QByteArray("GET / HTTP/1.1\r\nHost: 127.1\r\n") << refused << 403;
    QTest::newRow("user's proxy name") << true << false << QByteArray("GET / HTTP/1.1\r\nHost: meter.example\r\n") << int(Route::Page) << 200;
    QTest::newRow("HTTP/1.0 without Host") << true << false << QByteArray("GET / HTTP/1.0\r\n") << refused << 403;
    QTest::newRow("rebinding WebSocket") << true << false << ws + "127.0.0.1.evil.example:8734\r\n" << refused << 403;
    QTest::newRow("WebSocket from the page") << true << false << ws + "127.0.0.1:8734\r\nOrigin: http://127.0.0.1:8734\r\n" << int(Route::WebSocket) << 200;
    QTest::newRow("WebSocket, other port's page") << true << false << ws + "127.0.0.1:8734\r\nOrigin: http://127.0.0.1:3000\r\n" << refused << 403;
    QTest::newRow("WebSocket, other path") << true << false << QByteArray("GET /x HTTP/1.1\r\nUpgrade: websocket\r\nHost: localhost\r\n") << refused << 404;
    QTest::newRow("command from the page") << true << true << cmd + "http://localhost:8734\r\n" << int(Route::Alarm) << 200;
    QTest::newRow("command from the proxy's page") << true << true << cmd + "https://meter.example\r\n" << int(Route::Alarm) << 200;
    QTest::newRow("command, rebound origin") << true << true << cmd + "http://127.0.0.1.evil.example:8734\r\n" << refused << 403;
    QTest::newRow("command, origin null") << true << true << cmd + "null\r\n" << refused << 403;
    QTest::newRow("command while off") << true << false << cmd + "http://localhost:8734\r\n" << refused << 403;
    QTest::newRow("command by GET") << true << true << QByteArray("GET /api/command/peak HTTP/1.1\r\nHost: localhost\r\n") << refused << 405;
    QTest::newRow("unknown command") << true << true << QByteArray(cmd).replace("alarm", "tune") + "http://localhost:8734\r\n" << refused << 404;
    QTest::newRow("PUT") << true << false << QByteArray("PUT / HTTP/1.1\r\nHost: localhost\r\n") << refused << 405;
    QTest::newRow("unknown path") << true << false << QByteArray("GET /../etc/passwd HTTP/1.1\r\nHost: localhost\r\n") << refused << 404;
    QTest::newRow("no token") << false << false << tok << refused << 401;
    QTest::newRow("bearer") << false << false << tok + "Authorization: Bearer " + secret + "\r\n" << int(Route::State) << 200;
    QTest::newRow("bearer one short") << false << false << tok + "Authorization: Bearer " + secret.chopped(1) + "\r\n" << refused << 401;
    QTest::newRow("cookie of this port") << false << false << tok + "Cookie: a=b; vossbridge_token_8734=" + secret + "\r\n" << int(Route::State) << 200;
    QTest::newRow("cookie of another port") << false << false << tok + "Cookie: vossbridge_token_8735=" + secret + "\r\n" << refused << 401;
    QTest::newRow("token in the query") << false << false << QByteArray("GET /?token=" + secret + " HTTP/1.1\r\nHost: shack\r\n") << int(Route::Page) << 200;
    QTest::newRow("any host beyond loopback") << false << false << "GET /metrics HTTP/1.1\r\nHost: evil.example\r\nAuthorization: Bearer " + secret + "\r\n" << int(Route::Metrics) << 200;
    QTest::newRow("command from the listen address") << false << true << "POST /api/command/peak HTTP/1.1\r\nHost: 192.0.2.7:8734\r\nOrigin: http://192.0.2.7:8734\r\nAuthorization: Bearer " + secret + "\r\n" << int(Route::Peak) << 200;
    QTest::newRow("command, origin is the Host") << false << true << "POST /api/command/peak HTTP/1.1\r\nHost: evil.example:8734\r\nOrigin: http://evil.example:8734\r\nAuthorization: Bearer " + secret + "\r\n" << refused << 403;
    // clang-format on
}

void TestPageAccess::decide()
{
    QFETCH(bool, loopback);
    QFETCH(bool, commands);
    QFETCH(QByteArray, head);
    PageRules rules{loopback, 8734, {}, {"192.0.2.7"}, {"meter.example"}, commands};
    if (!loopback)
        rules.token = "0123456789abcdef0123456789abcdef";
    const ParsedHead p = ParseRequestHead(head);
    QVERIFY(p.request);
    const Decision d = Decide(*p.request, rules);
    QTEST(int(d.route), "route");
    QTEST(d.route == Route::Refused ? d.status : 200, "status");
}

void TestPageAccess::hostPortText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown"); // empty: refused
    QTest::addColumn<QString>("peer");  // as a socket's peer address reads; empty: a name
    // clang-format off
    QTest::newRow("IPv4") << "127.0.0.1:4532" << "127.0.0.1:4532" << "127.0.0.1:4532";
    QTest::newRow("name") << " rig.example:4532 " << "rig.example:4532" << "";
    QTest::newRow("IPv6 in brackets") << "[::1]:4532" << "[::1]:4532" << "[::1]:4532";
    QTest::newRow("IPv6 without brackets") << "::1:4532" << "[::1]:4532" << "[::1]:4532";
    QTest::newRow("IPv4-mapped") << "[::ffff:127.0.0.1]:80" << "[::ffff:127.0.0.1]:80" << "127.0.0.1:80";
    QTest::newRow("unclosed bracket") << "[::1:4532" << "" << "";
    QTest::newRow("no port") << "rig.example" << "" << "";
    // clang-format on
}

void TestPageAccess::hostPortText()
{
    QFETCH(QString, text);
    QFETCH(QString, peer);
    const auto parsed = ParseHostPort(text);
    QTEST(parsed ? HostPortText(*parsed) : QString(), "shown");
    if (!peer.isEmpty())
        QCOMPARE(HostPortText(QHostAddress(parsed->host), parsed->port), peer);
}

void TestPageAccess::loopback_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("loopback");
    QTest::addColumn<bool>("listens"); // a listen address
    // clang-format off
    QTest::newRow("127.0.0.1") << "127.0.0.1" << true << true;
    QTest::newRow("127.45.6.7") << "127.45.6.7" << true << true;
    QTest::newRow("::1") << "::1" << true << true;
    QTest::newRow("[::1]") << "[::1]" << true << false;
    QTest::newRow("::ffff:127.0.0.1") << "::ffff:127.0.0.1" << true << true;
    QTest::newRow("localhost") << "localhost" << true << true;
    QTest::newRow("LocalHost") << "LocalHost" << true << false;
    QTest::newRow(":: (every address)") << "::" << false << true;
    QTest::newRow("0.0.0.0") << "0.0.0.0" << false << true;
    QTest::newRow("192.0.2.7") << "192.0.2.7" << false << true;
    QTest::newRow("::ffff:192.0.2.7") << "::ffff:192.0.2.7" << false << true;
    QTest::newRow("127.1 shorthand") << "127.1" << false << false;
    QTest::newRow("127.0.0.256") << "127.0.0.256" << false << false;
    QTest::newRow("127.0.0.1.evil.example") << "127.0.0.1.evil.example" << false << false;
    QTest::newRow("[127.0.0.1]") << "[127.0.0.1]" << false << false;
    QTest::newRow("a name") << "shack" << false << false;
    // clang-format on
}

void TestPageAccess::loopback()
{
    QFETCH(QString, name);
    QFETCH(bool, loopback);
    QCOMPARE(IsLoopbackName(name), loopback);
    QTEST(IsListenAddress(name), "listens");
    if (IsListenAddress(name)) // what both servers listen on
        QCOMPARE(IsLoopback(ListenAddress(name)), loopback);
}

void TestPageAccess::retrySaidOncePerReason()
{
    RetryPause pause;
    const QString refused = QStringLiteral("Connection refused");
    QCOMPARE(pause.fail("rig daemon [::1]:4532", refused),
             QString("rig daemon [::1]:4532: Connection refused; trying again in 1 s"));
    QCOMPARE(pause.fail("rig daemon [::1]:4532", refused), QString());
    QCOMPARE(pause.current(), 2000);
    QCOMPARE(pause.fail("rig daemon [::1]:4532", "timed out"),
             QString("rig daemon [::1]:4532: timed out; trying again in 4 s"));
    pause.reset();
    QCOMPARE(pause.fail("rig daemon [::1]:4532", "timed out"),
             QString("rig daemon [::1]:4532: timed out; trying again in 1 s"));
}

void TestPageAccess::takenPortListenedOnceFree()
{
    QTcpServer squatter;
    if (!squatter.listen(QHostAddress::LocalHostIPv6, 0))
        QSKIP("no IPv6 loopback here");
    const quint16 port = squatter.serverPort();
    FakeSettingsStore store;
    store.values["Web/Enabled"] = "true";
    store.values["Web/Listen"] = QStringLiteral("[::1]:%1").arg(port);
    WebLink link;
    link.applySettings(store);
    QCOMPARE(link.statusText(),
             QStringLiteral("Web page: can't listen on [::1]:%1: in use").arg(port));
    squatter.close();
    QTRY_COMPARE_WITH_TIMEOUT(link.server().port(), port, 5000);
    QCOMPARE(link.statusText(), QStringLiteral("Web page: http://[::1]:%1/").arg(port));
}

QTEST_GUILESS_MAIN(TestPageAccess)
#include "tst_pageaccess.moc"
