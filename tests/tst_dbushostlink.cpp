// SPDX-License-Identifier: GPL-3.0-or-later
// The D-Bus host link against the reference host on a private session bus.
#include "DBusHostLink.h"
#include "HostProcess.h"

#include <QSignalSpy>
#include <QTest>

class TestDBusHostLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(QDBusConnection::sessionBus().isConnected()); }

    void linksAndReports()
    {
        HostProcess host;
        QVERIFY(host.waitUntilOnBus());
        DBusHostLink link;
        QVERIFY(!link.isLinked());
        link.createLink();
        QVERIFY(link.isLinked());
        QSignalSpy failed(&link, &HostLink::failed);
        link.reportValue(34, 2, 1.2, QString());
        link.reportValue(33, 3, 1.2346, QString());
        // Both out before either is answered.
        QCOMPARE(link.inFlight(), 2);
        QTRY_COMPARE(host.reports(), QStringList({"34 2 1.2 \"\"", "33 3 1.2346 \"\""}));
        QTRY_COMPARE((link.collectAnswers(), link.inFlight()), 0);
        QCOMPARE(failed.count(), 0);
    }

    void noHostLeavesLinkEmpty()
    {
        QVERIFY(!HostProcess::onBus());
        DBusHostLink link;
        link.createLink();
        QVERIFY(!link.isLinked());
        link.reportValue(34, 0, 0, QString());
        QCOMPARE(link.inFlight(), 0);
    }

    void hostFaults_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("linked");
        QTest::addColumn<QString>("error");
        QTest::newRow("target without the target interface")
            << "--wrong-target" << false << "no target interface at /org/vossbridge/Host1/Nothing";
        QTest::newRow("reports refused")
            << "--fail-reports" << true << "org.freedesktop.DBus.Error.Failed";
        // The call gives up after its timeout instead of waiting for ever.
        QTest::newRow("hung host") << "--hang" << true << "org.freedesktop.DBus.Error.NoReply";
    }
    void hostFaults()
    {
        QFETCH(QString, option);
        QFETCH(bool, linked);
        QFETCH(QString, error);
        HostProcess host({option});
        QVERIFY(host.waitUntilOnBus());
        DBusHostLink link;
        link.createLink();
        QCOMPARE(link.isLinked(), linked);
        QSignalSpy failed(&link, &HostLink::failed);
        if (linked) {
            link.reportValue(34, 1, 1.8, QString());
            QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 5000);
            QVERIFY(!link.isLinked());
        }
        QCOMPARE(link.lastError(), error);
        QVERIFY(host.reports().isEmpty());
    }

    void hostKilledThenBack()
    {
        DBusHostLink link;
        QSignalSpy appeared(&link, &DBusHostLink::hostAppeared);
        auto host = std::make_unique<HostProcess>();
        QVERIFY(host->waitUntilOnBus());
        QTRY_COMPARE(appeared.count(), 1);
        link.createLink();
        QSignalSpy failed(&link, &HostLink::failed);
        link.reportValue(34, 0, 1.0, QString());
        QTRY_VERIFY(host->reports().size() == 1);

        host.reset();
        link.reportValue(34, 0, 1.0, QString());
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 5000);

        host = std::make_unique<HostProcess>();
        QVERIFY(host->waitUntilOnBus());
        QTRY_COMPARE(appeared.count(), 2);
        link.clear();
        link.createLink();
        link.reportValue(34, 0, 1.5, QString());
        QTRY_COMPARE(host->reports(), QStringList{"34 0 1.5 \"\""});
    }

    void hostExitsAfterItsReports()
    {
        HostProcess host({QStringLiteral("--exit-after"), QStringLiteral("2")});
        QVERIFY(host.waitUntilOnBus());
        DBusHostLink link;
        link.createLink();
        link.reportValue(34, 0, 1.0, QString());
        link.reportValue(33, 3, 5.0, QString());
        QVERIFY(host.process().waitForFinished(5000));
        QCOMPARE(host.reports().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestDBusHostLink)
#include "tst_dbushostlink.moc"
