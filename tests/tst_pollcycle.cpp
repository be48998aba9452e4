// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSerialLink.h"
#include "PollCycle.h"

#include <QTest>

namespace {
const QString Reply = QStringLiteral(";  100.0, 50.0,  0.0,2,  HF  ,0,0,  20,1.20");

struct Rig {
    FakeSerialLink port;
    PendingCommands pending;
    PollCycle cycle;
    QStringList shown;

    Rig() { port.portOpen = true; }
    TickOutcome tick()
    {
        return cycle.tick(port, pending, [this](const QString& r) {
            port.calls << QStringLiteral("accepted");
            shown << r;
        });
    }
};
} // namespace

class TestPollCycle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tickOrder_data()
    {
        QTest::addColumn<bool>("alarm");
        QTest::addColumn<bool>("power");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("outcome");
        const auto calls = [](const char* s) { return QString::fromLatin1(s).split(u'|'); };
        QTest::newRow("steady poll, accepted")
            << false << false << Reply << calls("clearTx|write ;P?|read|accepted")
            << int(TickOutcome::Accepted);
        QTest::newRow("first tick, empty read")
            << false << false << QString() << calls("clearTx|write ;P?|read")
            << int(TickOutcome::Rejected);
        QTest::newRow("Alarm pending: no poll, command after the reply")
            << true << false << Reply << calls("clearTx|read|accepted|write ;A?")
            << int(TickOutcome::Accepted);
        QTest::newRow("Fast/Slow pending")
            << false << true << Reply << calls("clearTx|read|accepted|write ;F?")
            << int(TickOutcome::Accepted);
        QTest::newRow("both pending: ;A? then ;F?")
            << true << true << Reply << calls("clearTx|read|accepted|write ;A?|write ;F?")
            << int(TickOutcome::Accepted);
        QTest::newRow("both pending, reply with trailing CR rejected")
            << true << true << Reply + u'\r' << calls("clearTx|read") << int(TickOutcome::Rejected);
    }
    void tickOrder()
    {
        QFETCH(bool, alarm);
        QFETCH(bool, power);
        QFETCH(QString, read);
        QFETCH(QStringList, calls);
        QFETCH(int, outcome);
        Rig rig;
        rig.pending = {alarm, power};
        rig.port.reads = {read};
        QCOMPARE(int(rig.tick()), outcome);
        QCOMPARE(rig.port.calls, calls);
        const bool accepted = outcome == int(TickOutcome::Accepted);
        // Flags go only with an accepted reply.
        QCOMPARE(rig.pending.stepAlarm, alarm && !accepted);
        QCOMPARE(rig.pending.togglePeak, power && !accepted);
    }

    // A closed port has no output to withdraw: the tick leaves it alone.
    void closedPortIsLeftAlone()
    {
        Rig rig;
        rig.port.portOpen = false;
        rig.pending.stepAlarm = true;
        rig.port.reads = {Reply};
        QCOMPARE(rig.tick(), TickOutcome::PortClosed);
        QVERIFY(rig.port.calls.isEmpty());
        QVERIFY(rig.pending.stepAlarm);
        QVERIFY(rig.shown.isEmpty());
    }

    void flagPressedThreeTimesIsSentOnce()
    {
        Rig rig;
        rig.pending.stepAlarm = true;
        rig.pending.stepAlarm = true;
        rig.pending.stepAlarm = true;
        rig.port.reads = {Reply, QString(), Reply};
        rig.tick();
        rig.tick();
        rig.tick();
        QCOMPARE(rig.port.writes(),
                 QStringList({QStringLiteral("write ;A?"), QStringLiteral("write ;P?"),
                              QStringLiteral("write ;P?")}));
    }

    // A pending command must not stop polling for good while the meter is silent.
    void pollingResumesAfterRejectedReadWithFlagPending()
    {
        Rig rig;
        rig.pending.stepAlarm = true;
        rig.port.reads = {QString(), QString(), QString(), Reply};
        QCOMPARE(rig.tick(), TickOutcome::Rejected); // nothing owed yet: no poll
        QCOMPARE(rig.tick(), TickOutcome::Rejected); // polls again
        QCOMPARE(rig.tick(), TickOutcome::Rejected); // still polling
        QVERIFY(rig.pending.stepAlarm);
        QCOMPARE(rig.tick(), TickOutcome::Accepted);
        QVERIFY(!rig.pending.stepAlarm);
        QCOMPARE(rig.port.writes(),
                 QStringList({QStringLiteral("write ;P?"), QStringLiteral("write ;P?"),
                              QStringLiteral("write ;P?"), QStringLiteral("write ;A?")}));
        // With the command gone, the next tick polls as usual.
        rig.port.calls.clear();
        rig.tick();
        QCOMPARE(rig.port.writes(), QStringList{QStringLiteral("write ;P?")});
    }

    void resetForgetsOwedPoll()
    {
        Rig rig;
        rig.port.reads = {QString()};
        rig.tick();
        rig.cycle.reset();
        rig.pending.togglePeak = true;
        rig.port.calls.clear();
        rig.tick();
        QVERIFY(rig.port.writes().isEmpty());
    }

    void rejectedReadChangesNothingShown_data()
    {
        QTest::addColumn<QString>("read");
        QTest::newRow("two replies") << Reply + Reply;
        QTest::newRow("reply and one-shot answer") << Reply + QStringLiteral("OK");
        QTest::newRow("partial") << Reply.left(20);
    }
    void rejectedReadChangesNothingShown()
    {
        QFETCH(QString, read);
        Rig rig;
        rig.port.reads = {read};
        QCOMPARE(rig.tick(), TickOutcome::Rejected);
        QVERIFY(rig.shown.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestPollCycle)
#include "tst_pollcycle.moc"
