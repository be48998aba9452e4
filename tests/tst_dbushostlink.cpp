// SPDX-License-Identifier: GPL-3.0-or-later
// The D-Bus host link against the reference host on a private session bus.
#include "DBusHostLink.h"
#include "HostProcess.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <csignal>

namespace {
using Outcome = HostLink::ReportOutcome;

// Links and waits until the attempt has ended.
void Link(DBusHostLink& link)
{
    QSignalSpy tried(&link, &HostLink::linkTried);
    link.createLink();
    QVERIFY(tried.wait(5000));
}

// What happens to the host once the reports are out.
enum class Then { Continues, LinkCleared, HostKilled };

// How many of each outcome, in the enum's order.
QList<int> Tally(const QSignalSpy& settled)
{
    QList<int> counts(4, 0);
    for (const QList<QVariant>& s : settled)
        ++counts[static_cast<int>(s.at(0).value<Outcome>())];
    return counts;
}
} // namespace

Q_DECLARE_METATYPE(Then)

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
        Link(link);
        QVERIFY(link.isLinked());
        QSignalSpy failed(&link, &HostLink::failed);
        // Both out before either is answered: a stopped host answers neither,
        // where a quick one might answer the first before the second goes.
        ::kill(static_cast<pid_t>(host.process().processId()), SIGSTOP);
        link.reportValue(34, 2, 1.2, QString());
        link.reportValue(33, 3, 1.2346, QString());
        QCOMPARE(link.inFlight(), 2);
        ::kill(static_cast<pid_t>(host.process().processId()), SIGCONT);
        QTRY_COMPARE(host.reports(), QStringList({"34 2 1.2 \"\"", "33 3 1.2346 \"\""}));
        QTRY_COMPARE((link.collectAnswers(), link.inFlight()), 0);
        QCOMPARE(failed.count(), 0);
    }

    void noHostLeavesLinkEmpty()
    {
        QVERIFY(!HostProcess::onBus());
        DBusHostLink link;
        Link(link);
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
        Link(link);
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
        Link(link);
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
        Link(link);
        link.reportValue(34, 0, 1.5, QString());
        QTRY_COMPARE(host->reports(), QStringList{"34 0 1.5 \"\""});
    }

    // A tick every 50 ms sends its two reports to a host that answers late
    // or never: the ticks keep coming, what waits for answers stays bounded,
    // a late host keeps its link and every report, a hung one loses the link
    // once, some ticks after the first unanswered report.
    void answersLateOrNever_data()
    {
        QTest::addColumn<QStringList>("hostOptions");
        QTest::addColumn<bool>("keepsLink");
        QTest::newRow("answers 300 ms late") << QStringList{"--answer-delay", "300"} << true;
        QTest::newRow("never answers") << QStringList{"--hang"} << false;
    }
    void answersLateOrNever()
    {
        QFETCH(QStringList, hostOptions);
        QFETCH(bool, keepsLink);
        HostProcess host(hostOptions);
        QVERIFY(host.waitUntilOnBus());
        DBusHostLink link;
        Link(link);
        QVERIFY(link.isLinked());
        QSignalSpy failed(&link, &HostLink::failed);
        int ticks = 0;
        int ticksAtFailure = -1;
        int mostInFlight = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &link, [&] {
            ++ticks;
            link.reportValue(34, 2, 1.2, QString());
            link.reportValue(33, 3, ticks, QString());
            mostInFlight = std::max(mostInFlight, link.inFlight());
            if (!failed.isEmpty() && ticksAtFailure < 0)
                ticksAtFailure = ticks;
        });
        tick.start(50);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 60, 20000);
        tick.stop();
        QVERIFY(mostInFlight >= 2);
        QVERIFY(mostInFlight <= DBusHostLink::MaxInFlight);
        if (keepsLink) {
            QCOMPARE(failed.count(), 0);
            QVERIFY(link.isLinked());
            QTRY_COMPARE(host.reports().size(), 2 * ticks);
            QCOMPARE(host.reports().at(2 * ticks - 1), QStringLiteral("33 3 %1 \"\"").arg(ticks));
            return;
        }
        QCOMPARE(failed.count(), 1);
        QCOMPARE(link.lastError(), QStringLiteral("org.freedesktop.DBus.Error.NoReply"));
        // Not at the first tick that went unanswered: only after its time.
        QVERIFY2(ticksAtFailure > 2, qPrintable(QString::number(ticksAtFailure)));
    }

    // Every report handed over settles once. The host is stopped while they
    // go out, so none is answered before the last is sent.
    void everyReportSettlesOnce_data()
    {
        QTest::addColumn<bool>("hostThere");
        QTest::addColumn<QStringList>("hostOptions");
        QTest::addColumn<int>("reports");
        QTest::addColumn<Then>("then");
        QTest::addColumn<QList<int>>("tally"); // answered, refused, unanswered, not sent
        const int cap = DBusHostLink::MaxInFlight;
        QTest::newRow("answered") << true << QStringList{} << 2 << Then::Continues
                                  << QList{2, 0, 0, 0};
        QTest::newRow("answered late") << true << QStringList{"--answer-delay", "300"} << 2
                                       << Then::Continues << QList{2, 0, 0, 0};
        QTest::newRow("refused, the next lost with the link")
            << true << QStringList{"--fail-reports"} << 2 << Then::Continues << QList{0, 1, 1, 0};
        QTest::newRow("never answered")
            << true << QStringList{"--hang"} << 2 << Then::Continues << QList{0, 0, 2, 0};
        QTest::newRow("link cleared")
            << true << QStringList{} << 2 << Then::LinkCleared << QList{0, 0, 2, 0};
        QTest::newRow("host killed")
            << true << QStringList{} << 2 << Then::HostKilled << QList{0, 0, 2, 0};
        QTest::newRow("no host") << false << QStringList{} << 2 << Then::Continues
                                 << QList{0, 0, 0, 2};
        QTest::newRow("over the cap")
            << true << QStringList{} << cap + 2 << Then::Continues << QList{cap, 0, 0, 2};
    }
    void everyReportSettlesOnce()
    {
        QFETCH(bool, hostThere);
        QFETCH(QStringList, hostOptions);
        QFETCH(int, reports);
        QFETCH(Then, then);
        QFETCH(QList<int>, tally);
        std::unique_ptr<HostProcess> host;
        if (hostThere) {
            host = std::make_unique<HostProcess>(hostOptions);
            QVERIFY(host->waitUntilOnBus());
        }
        auto link = std::make_unique<DBusHostLink>();
        Link(*link);
        QCOMPARE(link->isLinked(), hostThere);
        QSignalSpy settled(link.get(), &HostLink::reportSettled);
        const auto pid = hostThere ? static_cast<pid_t>(host->process().processId()) : 0;
        if (pid)
            ::kill(pid, SIGSTOP);
        for (int i = 0; i < reports; ++i)
            link->reportValue(33, 3, i, QString());
        if (then == Then::LinkCleared)
            link->clear();
        if (then == Then::HostKilled)
            host->stop();
        else if (pid)
            ::kill(pid, SIGCONT);
        QTRY_COMPARE_WITH_TIMEOUT(settled.count(), reports, 10000);
        // Nothing settles twice: not with what comes later, nor when the
        // link ends.
        link->collectAnswers();
        link->clear();
        link.reset();
        QCOMPARE(Tally(settled), tally);
    }

    void hostExitsAfterItsReports()
    {
        HostProcess host({QStringLiteral("--exit-after"), QStringLiteral("2")});
        QVERIFY(host.waitUntilOnBus());
        DBusHostLink link;
        Link(link);
        link.reportValue(34, 0, 1.0, QString());
        link.reportValue(33, 3, 5.0, QString());
        QVERIFY(host.process().waitForFinished(5000));
        QCOMPARE(host.reports().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestDBusHostLink)
#include "tst_dbushostlink.moc"
