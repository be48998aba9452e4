// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeHostLink.h"
#include "FakeSerialLink.h"
#include "FakeSettingsStore.h"
#include "MeterRun.h"
#include "StatusReply.h"

#include <QTest>

namespace {
const QString Reply = QStringLiteral(";  100.0, 50.0,  0.0,2,  HF  ,0,0,  20,1.20");

// What a run shows after `steps`, in one line: what its starts answered, the
// tick, the counts, the host's outcomes, the troubles, what went out on the
// line and the last save.
QString Run(const QString& steps, bool opens)
{
    FakeSettingsStore store;
    store.setRunBefore();
    FakeSerialLink port;
    port.openSucceeds = opens;
    FakeHostLink host;
    MeterRun run(store, port, host);
    QStringList started;
    const auto tick = [&](const QString& read) {
        port.reads = {read};
        run.pollTick();
    };
    for (const QString& step : steps.split(u' ')) {
        if (step == u"start")
            started << (run.start() ? QStringLiteral("started") : QStringLiteral("refused"));
        else if (step == u"A")
            tick(Reply);
        else if (step == u"g")
            tick(Reply.left(20));
        else if (step == u"-")
            tick({});
        else if (step == u"lose") {
            port.portOpen = false;
            run.portLost(QStringLiteral("gone"));
        } else if (step == u"back") {
            port.portOpen = true;
            run.portRecovered();
        } else if (step == u"refuse" || step == u"hang") {
            host.failFromCall = 0;
            host.hangs = step == u"hang";
        } else if (step == u"appear") {
            host.failFromCall = -1;
            Q_EMIT host.hostAppeared();
        } else if (step == u"alarm")
            run.stepAlarm();
        else if (step == u"stop")
            run.shutDown();
    }
    QStringList writes;
    for (const QString& w : port.writes())
        writes << (w.endsWith(PollCommand)    ? QStringLiteral("P")
                   : w.endsWith(AlarmCommand) ? QStringLiteral("L")
                                              : w);
    QStringList saved;
    for (const QString& key : store.batches.value(store.batches.size() - 1))
        saved << key + u'=' + store.values.value(QStringLiteral("StartUp/") + key);
    const RunCounts& n = run.counts();
    return QStringLiteral(
               "%1 %2 %3ms port %4 | %5 %6 %7 %8 | host %9 %10 %11 %12 | %13 | %14 | %15")
        .arg(started.join(u','),
             run.isPolling() ? QStringLiteral("polling") : QStringLiteral("still"))
        .arg(run.pollPeriod())
        .arg(port.portOpen ? QStringLiteral("open") : QStringLiteral("closed"))
        .arg(n.polls)
        .arg(n.accepted)
        .arg(n.rejected)
        .arg(n.ticksWithoutReply)
        .arg(n.hostAnswered)
        .arg(n.hostRefused)
        .arg(n.hostUnanswered)
        .arg(n.hostNotSent)
        .arg(run.troubles().join(u','), writes.join(u' '), saved.join(u','));
}
} // namespace

// Counts read "polls accepted rejected silent" and "host answered refused
// unanswered not-sent".
class TestMeterRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void run_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("polls and counts each read") << "start A - g" << true << "started polling 50ms port open | 3 1 1 1 | host 6 0 0 0 |  | P P P | ";
        QTest::newRow("port won't open") << "start A" << false << "refused still 50ms port closed | 0 0 0 0 | host 0 0 0 1 |  |  | ";
        QTest::newRow("port lost") << "start A lose A" << true << "started polling 50ms port closed | 1 1 0 0 | host 4 0 0 0 | port lost | P | ";
        QTest::newRow("port comes back") << "start A lose back A" << true << "started polling 50ms port open | 2 2 0 0 | host 4 0 0 0 |  | P P | ";
        QTest::newRow("host refuses, appears") << "start refuse A A appear A" << true << "started polling 50ms port open | 3 3 0 0 | host 2 1 0 1 |  | P P P | ";
        QTest::newRow("host hangs") << "start hang A A" << true << "started polling 50ms port open | 2 2 0 0 | host 0 0 1 1 | no host | P P | ";
        QTest::newRow("command waits for a reply") << "start alarm - A" << true << "started polling 50ms port open | 1 1 0 1 | host 4 0 0 0 |  | P L | ";
        QTest::newRow("shutdown stores") << "start A stop" << true << "started still 50ms port closed | 1 1 0 0 | host 2 0 0 0 |  | P | ComPort=5,Alarm=2,Scale=0";
        // clang-format on
    }
    void run()
    {
        QFETCH(QString, steps);
        QFETCH(bool, opens);
        QFETCH(QString, shown);
        QCOMPARE(Run(steps, opens), shown);
    }
};

QTEST_GUILESS_MAIN(TestMeterRun)
#include "tst_meterrun.moc"
