// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowRig.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// A status reply with the fields the host report reads; the rest fixed.
QString Reply(const QString& power, const QString& range, const QString& alarm = u"2"_s,
              const QString& swr = u"1.20"_s)
{
    const QString reply = QStringLiteral(";%1, 50.0,  0.0,%2,  HF  ,%3,0,  20,%4")
                              .arg(power.rightJustified(7), alarm, range, swr.rightJustified(4));
    Q_ASSERT(reply.size() == 43);
    return reply;
}

struct Rig : WindowRig {
    Rig()
    {
        create();
        host.linked = true;
        port.portOpen = true;
        window->run().pausePolling();
    }
    // One tick that reads `reply`; returns that tick's reports.
    QStringList tick(const QString& reply = {})
    {
        host.reports.clear();
        port.reads = {reply};
        window->run().pollTick();
        return host.reports;
    }
};
} // namespace

class TestHostReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void beforeFirstReplyReportsZeros()
    {
        Rig rig;
        rig.port.portOpen = false;
        QCOMPARE(rig.tick(), QStringList({"34 0 0 \"\"", "33 3 0 \"\""}));
        QCOMPARE(rig.c().rangeLabel->text(), QStringLiteral("2500"));
        QCOMPARE(rig.c().reportedAlarmBox->text(), QStringLiteral("0"));
        QCOMPARE(rig.c().reportedMeterAlarmBox->text(), QString());
        QCOMPARE(rig.c().reportedSwrBox->text(), QString());
        QCOMPARE(rig.c().spareBox->text(), QStringLiteral("Text2"));
    }

    void rangeTable_data()
    {
        QTest::addColumn<QString>("power");
        QTest::addColumn<QString>("range");
        QTest::addColumn<QString>("powerReport"); // empty: none
        QTest::addColumn<QString>("caption");
        QTest::newRow("2500 W range, 3000 W: no cap") << "3000"
                                                      << "0"
                                                      << "33 3 3000"
                                                      << "2500";
        QTest::newRow("2500 W range, 0.5 W") << "0.5"
                                             << "0"
                                             << "33 3 0.5"
                                             << "2500";
        QTest::newRow("250 W range, above cap") << "300"
                                                << "1"
                                                << "33 2 250"
                                                << " 250";
        QTest::newRow("250 W range, at cap") << "250"
                                             << "1"
                                             << "33 2 250"
                                             << " 250";
        QTest::newRow("250 W range, below cap") << "100"
                                                << "1"
                                                << "33 2 100"
                                                << " 250";
        QTest::newRow("25 W range, above cap") << "30"
                                               << "2"
                                               << "33 1 25"
                                               << "  25";
        QTest::newRow("25 W range, at cap") << "25"
                                            << "2"
                                            << "33 1 25"
                                            << "  25";
        QTest::newRow("25 W range, below cap") << "12.5"
                                               << "2"
                                               << "33 1 12.5"
                                               << "  25";
        QTest::newRow("ten-thousandths") << "1.23456"
                                         << "0"
                                         << "33 3 1.2346"
                                         << "2500";
        QTest::newRow("half a ten-thousandth, to even") << "0.00005"
                                                        << "0"
                                                        << "33 3 0"
                                                        << "2500";
        for (int code = 3; code <= 9; ++code) {
            QTest::newRow(qPrintable(QStringLiteral("range code %1: no power report").arg(code)))
                << "100" << QString::number(code) << ""
                << "200W";
        }
    }
    void rangeTable()
    {
        QFETCH(QString, power);
        QFETCH(QString, range);
        QFETCH(QString, powerReport);
        QFETCH(QString, caption);
        Rig rig;
        QStringList expected{"34 2 1.2 \"\""};
        if (!powerReport.isEmpty())
            expected << powerReport + QStringLiteral(" \"\"");
        QCOMPARE(rig.tick(Reply(power, range)), expected);
        QCOMPARE(rig.c().rangeLabel->text(), caption);
    }

    void closedPortAndRejectedReadsRepeatTheLastReply()
    {
        Rig rig;
        rig.tick(Reply(u"300"_s, u"1"_s, u"4"_s, u"3.5"_s));
        const QStringList expected{"34 4 3.5 \"\"", "33 2 250 \"\""};
        QCOMPARE(rig.tick(u"garbage"_s), expected);
        rig.port.portOpen = false;
        QCOMPARE(rig.tick(), expected);
    }

    void textBoxesShowWhatWasReported()
    {
        Rig rig;
        rig.tick(Reply(u"100"_s, u"0"_s, u"3"_s, u"1.20"_s));
        QCOMPARE(rig.c().reportedAlarmBox->text(), QStringLiteral("3"));
        QCOMPARE(rig.c().reportedMeterAlarmBox->text(), QStringLiteral("3"));
        QCOMPARE(rig.c().reportedSwrBox->text(), QStringLiteral("1.2"));
        // An alarm setting the display ignores still shows; the report keeps the last setting.
        QCOMPARE(rig.tick(Reply(u"100"_s, u"0"_s, u"7"_s, u"1.20"_s)).first(),
                 QStringLiteral("34 3 1.2 \"\""));
        QCOMPARE(rig.c().reportedAlarmBox->text(), QStringLiteral("3"));
        QCOMPARE(rig.c().reportedMeterAlarmBox->text(), QStringLiteral("7"));
    }

    void decimalCommaInTextBoxes()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Rig rig;
        const QStringList reports = rig.tick(Reply(u"100"_s, u"0"_s, u"2"_s, u"1.25"_s));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(rig.c().reportedSwrBox->text(), QStringLiteral("1,25"));
        QCOMPARE(reports.first(), QStringLiteral("34 2 1.25 \"\""));
    }

    void buttonsSendFixedReports_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("report");
        QTest::newRow("1.5") << "Cmd15"
                             << "34 1 1.8 \"\"";
        QTest::newRow("2.0 sends index 0") << "Cmd20"
                                           << "34 0 1.8 \"\"";
    }
    void buttonsSendFixedReports()
    {
        QFETCH(QString, button);
        QFETCH(QString, report);
        Rig rig;
        rig.window->show();
        QTest::mouseClick(rig.window->findChild<QPushButton*>(button), Qt::LeftButton);
        QCOMPARE(rig.host.reports, QStringList{report});
        QVERIFY(rig.port.writes().isEmpty());
        QCOMPARE(rig.c().reportedAlarmBox->text(), QStringLiteral("Text2"));
    }

    // Without a link nothing is called, and the window still follows the meter.
    void emptyLinkMakesNoCall()
    {
        Rig rig;
        rig.host.linked = false;
        QVERIFY(rig.tick(Reply(u"100"_s, u"1"_s)).isEmpty());
        QCOMPARE(rig.c().rangeLabel->text(), QStringLiteral(" 250"));
        QCOMPARE(rig.c().reportedSwrBox->text(), QStringLiteral("1.2"));
        rig.window->reportTestSwrAtAlarm15();
        rig.window->reportTestSwrAtAlarmOff();
        QVERIFY(rig.host.reports.isEmpty());
    }

    void failedCallEmptiesLinkUntilHostAppears()
    {
        Rig rig;
        rig.host.failFromCall = 0;
        // The failed SWR report ends the tick's calls; the display still follows.
        QCOMPARE(rig.tick(Reply(u"100"_s, u"2"_s)), QStringList{"34 2 1.2 \"\""});
        QVERIFY(!rig.host.linked);
        QCOMPARE(rig.c().rangeLabel->text(), QStringLiteral("  25"));
        QCOMPARE(rig.c().reportedSwrBox->text(), QStringLiteral("1.2"));
        QVERIFY(rig.tick(Reply(u"100"_s, u"2"_s)).isEmpty());
        QVERIFY(rig.window->windowTitle().contains(QStringLiteral("no host")));

        rig.host.failFromCall = -1;
        rig.window->run().linkHostAgain();
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Vossbridge"));
        QCOMPARE(rig.tick(), QStringList({"34 2 1.2 \"\"", "33 1 25 \"\""}));
    }

    void failedPowerReportEmptiesLinkToo()
    {
        Rig rig;
        rig.host.failFromCall = 1;
        QCOMPARE(rig.tick(Reply(u"100"_s, u"0"_s)).size(), 2);
        QVERIFY(!rig.host.linked);
    }

    void failedButtonReportEmptiesLink()
    {
        Rig rig;
        rig.host.failFromCall = 0;
        rig.window->reportTestSwrAtAlarmOff();
        QVERIFY(!rig.host.linked);
        QVERIFY(rig.tick().isEmpty());
    }

    void activationLinksOnlyWhenThePortOpens()
    {
        Rig rig;
        rig.port.portOpen = false;
        rig.host.linked = false;
        rig.window->show();
        QTRY_VERIFY(rig.port.portOpen);
        // The first open selects the list entry, which activates again inside.
        QCOMPARE(rig.host.creations, 2);

        Rig failing;
        failing.port.portOpen = false;
        failing.port.openSucceeds = false;
        failing.window->show();
        QTRY_VERIFY(failing.port.calls.contains(QStringLiteral("open")));
        QCOMPARE(failing.host.creations, 0);
    }
};

QTEST_MAIN(TestHostReport)
#include "tst_hostreport.moc"
