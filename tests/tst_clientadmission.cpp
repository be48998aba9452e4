// SPDX-License-Identifier: GPL-3.0-or-later
// Who makes way for a newcomer, with caps small enough to reach: 4 clients
// in all, 3 not yet proven, 2 not yet proven from one address beyond loopback.
#include "ClientAdmission.h"

#include <QTest>

class TestClientAdmission : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newcomer_data();
    void newcomer();
};

void TestClientAdmission::newcomer_data()
{
    // Clients oldest first, "N address" each, "+" when proven; the index of
    // the one that makes way (-1: none), and whether the newcomer gets in.
    QTest::addColumn<QString>("clients");
    QTest::addColumn<QString>("newcomer");
    QTest::addColumn<int>("makesWay");
    QTest::addColumn<bool>("admitted");
    // clang-format off
    QTest::newRow("room for all") << "1 10.0.0.1" << "10.0.0.2" << -1 << true;
    QTest::newRow("new ones at their cap: the oldest goes") << "3 127.0.0.1" << "127.0.0.1" << 0 << true;
    QTest::newRow("the proven are passed over") << "1 127.0.0.1+, 3 127.0.0.1" << "127.0.0.1" << 1 << true;
    QTest::newRow("all at their cap: the oldest new one goes") << "3 127.0.0.1+, 1 ::1" << "127.0.0.1" << 3 << true;
    QTest::newRow("all proven: the newcomer is turned away") << "4 127.0.0.1+" << "127.0.0.1" << -1 << false;
    QTest::newRow("an address at its cap: its oldest goes") << "1 10.0.0.9, 2 10.0.0.1" << "10.0.0.1" << 1 << true;
    QTest::newRow("an address at its cap while all are full") << "2 10.0.0.2+, 2 10.0.0.1" << "10.0.0.1" << 2 << true;
    QTest::newRow("another address is not held to it") << "2 10.0.0.1" << "10.0.0.2" << -1 << true;
    QTest::newRow("proven ones of the address do not count") << "2 10.0.0.1+, 1 10.0.0.1" << "10.0.0.1" << -1 << true;
    QTest::newRow("IPv4 loopback shares only the cap of new ones") << "2 127.0.0.1" << "127.0.0.1" << -1 << true;
    QTest::newRow("IPv6 loopback shares only the cap of new ones") << "2 ::1" << "::1" << -1 << true;
    QTest::newRow("an IPv6 address beyond loopback") << "2 2001:db8::5" << "2001:db8::5" << 0 << true;
    // clang-format on
}

void TestClientAdmission::newcomer()
{
    QFETCH(QString, clients);
    QFETCH(QString, newcomer);
    QFETCH(int, makesWay);
    QFETCH(bool, admitted);
    ClientAdmission admission({4, 3, 2});
    QList<quint64> numbers;
    for (const QString& group : clients.split(u',')) {
        const QStringList parts = group.trimmed().split(u' ');
        const bool proven = parts[1].endsWith(u'+');
        for (int i = 0; i < parts[0].toInt(); ++i) {
            numbers.append(admission.add(QHostAddress(parts[1].chopped(proven ? 1 : 0))));
            if (proven)
                admission.prove(numbers.last());
        }
    }
    const ClientAdmission::Verdict v = admission.judge(QHostAddress(newcomer));
    QCOMPARE(v.makesWay ? int(numbers.indexOf(*v.makesWay)) : -1, makesWay);
    QCOMPARE(v.admitted, admitted);
    // Done as the servers do it, the caps hold.
    if (v.makesWay)
        admission.remove(*v.makesWay);
    if (v.admitted)
        admission.add(QHostAddress(newcomer));
    QVERIFY(admission.count() <= admission.caps().clients);
}

QTEST_GUILESS_MAIN(TestClientAdmission)
#include "tst_clientadmission.moc"
