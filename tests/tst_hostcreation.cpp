// SPDX-License-Identifier: GPL-3.0-or-later
// Creating the host link against hosts that answer at once, late, never or
// not at all: the caller's event loop keeps turning all the while, a host too
// slow for the second it is given leaves the link empty, and trying again
// ends the same way, untouched by the answers of the attempt given up.
#include "DBusHostLink.h"
#include "HostProcess.h"

#include <QSignalSpy>
#include <QTimer>
#include <csignal>
#include <memory>

namespace {
constexpr int PollPeriodMs = 50;

enum class Linked { Yes, No, Maybe };
} // namespace

Q_DECLARE_METATYPE(Linked)

class TestHostCreation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void creationLeavesTheLoopTurning_data()
    {
        QTest::addColumn<bool>("hostThere");
        QTest::addColumn<QStringList>("hostOptions");
        QTest::addColumn<bool>("stopped"); // the host's process stopped before linking
        QTest::addColumn<Linked>("linked");
        QTest::addColumn<int>("leastTurns"); // ticks seen while the first attempt ran
        const QString hangAfter = QStringLiteral("--hang-after-first");
        const QString delay = QStringLiteral("--first-delay");
        // Whether the target's introspection is answered after the first
        // answer depends on which of the host's threads hangs first (Qt may
        // answer it from its D-Bus thread).
        QTest::newRow("answers") << true << QStringList{} << false << Linked::Yes << 0;
        QTest::newRow("no host") << false << QStringList{} << false << Linked::No << 0;
        QTest::newRow("first answer at 0.7 s, then nothing")
            << true << QStringList{hangAfter, delay, "700"} << false << Linked::Maybe << 3;
        QTest::newRow("first answer at 3 s")
            << true << QStringList{hangAfter, delay, "3000"} << false << Linked::No << 3;
        QTest::newRow("stopped") << true << QStringList{} << true << Linked::No << 3;
    }
    void creationLeavesTheLoopTurning()
    {
        QFETCH(bool, hostThere);
        QFETCH(QStringList, hostOptions);
        QFETCH(bool, stopped);
        QFETCH(Linked, linked);
        QFETCH(int, leastTurns);
        std::unique_ptr<HostProcess> host;
        if (hostThere) {
            host = std::make_unique<HostProcess>(hostOptions);
            QVERIFY(host->waitUntilOnBus());
            if (stopped)
                ::kill(static_cast<pid_t>(host->process().processId()), SIGSTOP);
        }
        DBusHostLink link;
        QSignalSpy tried(&link, &HostLink::linkTried);
        int turns = 0;
        int turnsWhileLinking = -1;
        QTimer tick;
        connect(&tick, &QTimer::timeout, &link, [&] { ++turns; });
        connect(&link, &HostLink::linkTried, &link, [&] {
            if (turnsWhileLinking < 0)
                turnsWhileLinking = turns;
        });
        tick.start(PollPeriodMs);

        link.createLink();
        QCOMPARE(tried.count(), 0);
        QVERIFY(tried.wait(10000));
        // At least a few of the 20 ticks the deadline spans came.
        QVERIFY2(turnsWhileLinking >= leastTurns, qPrintable(QString::number(turnsWhileLinking)));
        QCOMPARE(tried.count(), 1);
        const bool linkedFirst = link.isLinked();
        if (linked != Linked::Maybe)
            QCOMPARE(linkedFirst, linked == Linked::Yes);

        // Tried again, the attempt ends once more and leaves the link as it
        // was; then 30 more ticks, past the time the first attempt's late
        // answer comes, and that answer changes nothing.
        link.createLink();
        QVERIFY(tried.wait(10000));
        QCOMPARE(tried.count(), 2);
        QCOMPARE(link.isLinked(), linkedFirst);
        const int turnsAtRetry = turns;
        QTRY_VERIFY_WITH_TIMEOUT(turns >= turnsAtRetry + 30, 30000);
        QCOMPARE(tried.count(), 2);
        QCOMPARE(link.isLinked(), linkedFirst);
    }
};

QTEST_GUILESS_MAIN(TestHostCreation)
#include "tst_hostcreation.moc"
