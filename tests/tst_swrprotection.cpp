// SPDX-License-Identifier: GPL-3.0-or-later
#include "SwrProtection.h"

#include <QTest>

class TestSwrProtection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Replies as (swr, watts) pairs; the reply index that trips, or -1.
    void trips_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<int>("alarm");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<double>>("replies");
        QTest::addColumn<int>("tripsAt");
        using L = QList<double>;
        QTest::newRow("at the limit counts") << "2" << 0 << 2 << L{2.0, 100, 2.0, 100} << 1;
        QTest::newRow("just below never")
            << "2" << 0 << 2 << L{1.99, 100, 1.99, 100, 1.99, 100} << -1;
        QTest::newRow("streak broken")
            << "2" << 0 << 2 << L{2.5, 100, 1.2, 100, 2.5, 100, 2.5, 100} << 3;
        QTest::newRow("power at the floor is not above it")
            << "2" << 0 << 1 << L{3.0, 5, 3.0, 5.1} << 1;
        QTest::newRow("count 1") << "2" << 0 << 1 << L{2.2, 50} << 0;
        QTest::newRow("alarm 1 is 1.5") << "alarm" << 1 << 1 << L{1.49, 50, 1.5, 50} << 1;
        QTest::newRow("alarm 4 is 3.0") << "alarm" << 4 << 1 << L{2.9, 50, 3.0, 50} << 1;
        QTest::newRow("alarm off never") << "alarm" << 0 << 1 << L{9.0, 500, 9.0, 500} << -1;
        QTest::newRow("alarm 5 names no step: never") << "alarm" << 5 << 1 << L{9.0, 500} << -1;
        QTest::newRow("alarm -1 names no step: never") << "alarm" << -1 << 1 << L{9.0, 500} << -1;
        QTest::newRow("latched: no second trip") << "2" << 0 << 1 << L{3, 50, 1, 50, 3, 50} << 0;
    }
    void trips()
    {
        QFETCH(QString, limit);
        QFETCH(int, alarm);
        QFETCH(int, count);
        QFETCH(QList<double>, replies);
        QFETCH(int, tripsAt);
        SwrProtection p;
        SwrProtection::Settings s;
        s.enabled = true;
        if (limit != "alarm")
            s.swrLimit = limit.toDouble();
        s.count = count;
        p.setSettings(s);
        int tripped = -1;
        for (qsizetype i = 0; i < replies.size() / 2; ++i) {
            StatusRecord r;
            r.received = true;
            r.swr = replies[2 * i];
            r.power = replies[2 * i + 1];
            if (p.feed(r, alarm, QDateTime(QDate(2024, 5, 1), QTime(12, 0, 7)))) {
                QCOMPARE(tripped, -1);
                tripped = int(i);
            }
        }
        QCOMPARE(tripped, tripsAt);
        QCOMPARE(p.latched(), tripsAt >= 0);
        if (tripsAt >= 0)
            QVERIFY2(p.alarmText().contains("12:00:07"), qPrintable(p.alarmText()));
    }

    void offNeverTrips()
    {
        SwrProtection p;
        StatusRecord r;
        r.received = true;
        r.swr = 10;
        r.power = 1000;
        for (int i = 0; i < 5; ++i)
            QVERIFY(!p.feed(r, 4, QDateTime::currentDateTime()));
    }

    void acknowledgeRearms()
    {
        SwrProtection p;
        p.setSettings({true, 2.0, 5, 1});
        StatusRecord r;
        r.received = true;
        r.swr = 2.5;
        r.power = 100;
        QVERIFY(p.feed(r, 0, QDateTime::currentDateTime()));
        QVERIFY(!p.feed(r, 0, QDateTime::currentDateTime()));
        p.acknowledge();
        QVERIFY(p.alarmText().isEmpty());
        QVERIFY(p.feed(r, 0, QDateTime::currentDateTime()));
    }
};

QTEST_APPLESS_MAIN(TestSwrProtection)
#include "tst_swrprotection.moc"
