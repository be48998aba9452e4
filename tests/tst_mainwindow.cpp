// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowRig.h"

#include <QTest>

namespace {
const QString Reply = QStringLiteral(";  100.0, 50.0,  0.0,2,  HF  ,0,0,  20,1.20");

struct Rig : WindowRig {
    explicit Rig(bool openSucceeds = true)
    {
        port.openSucceeds = openSucceeds;
        store.values[QStringLiteral("Ports/Com5")] = QStringLiteral("/dev/serial/by-id/usb-meter");
        create();
    }
};
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void stateWhenCreated()
    {
        Rig rig;
        QVERIFY(rig.window->run().isPolling());
        QCOMPARE(int(rig.window->run().pollPeriod()), 200);
        QComboBox* combo = rig.c().portList;
        QCOMPARE(combo->count(), 16);
        QCOMPARE(combo->itemText(0), QStringLiteral("Com01"));
        QCOMPARE(combo->itemText(8), QStringLiteral("Com09 "));
        QCOMPARE(combo->itemText(15), QStringLiteral("Com16"));
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(combo->currentText(), QStringLiteral("Com1"));
        QVERIFY(rig.c().pollPeriodBar->minimum() <= 50 && rig.c().pollPeriodBar->maximum() >= 5000);
        QCOMPARE(rig.c().pollPeriodBar->value(), 50);
        QVERIFY(rig.c().pollPeriodBox->text().isEmpty());
        // Entry tooltips name the device each number opens.
        QCOMPARE(combo->itemData(4, Qt::ToolTipRole).toString(),
                 QStringLiteral("/dev/serial/by-id/usb-meter"));
        QCOMPARE(combo->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyS0"));
        QVERIFY(rig.store.saves.isEmpty());
        QVERIFY(rig.port.calls.isEmpty());
    }

    void pollRateChange_data()
    {
        QTest::addColumn<bool>("timerRunningBefore");
        QTest::addColumn<int>("value");
        QTest::newRow("timer running, 250 ms") << true << 250;
        QTest::newRow("timer stopped, 5000 ms") << false << 5000;
        QTest::newRow("timer stopped, 51 ms") << false << 51;
    }
    void pollRateChange()
    {
        QFETCH(bool, timerRunningBefore);
        QFETCH(int, value);
        Rig rig;
        if (!timerRunningBefore)
            rig.window->run().pausePolling();
        rig.c().pollPeriodBar->setValue(value);
        QVERIFY(rig.window->run().isPolling());
        QCOMPARE(int(rig.window->run().pollPeriod()), value);
        QCOMPARE(rig.c().pollPeriodBox->text(), QString::number(value));
        QCOMPARE(rig.store.saves, QStringList{QStringLiteral("StartUp/Pollrate=%1").arg(value)});
    }

    void firstActivationOpensStoredPortAndSelectsIt()
    {
        Rig rig;
        rig.store.values[QStringLiteral("StartUp/ComPort")] = QStringLiteral("7");
        rig.store.values[QStringLiteral("StartUp/Pollrate")] = QStringLiteral("80");
        rig.showAndActivate();
        QVERIFY(rig.port.portOpen);
        QCOMPARE(rig.c().portList->currentIndex(), 6);
        QVERIFY(rig.window->run().isPolling());
        QCOMPARE(int(rig.window->run().pollPeriod()), 80);
        QCOMPARE(rig.c().pollPeriodBox->text(), QStringLiteral("80"));
        // Selecting the entry runs the port selection inside the activation:
        // close, store the same port, and open again.
        const QStringList expected{
            QStringLiteral("port 7"),       QStringLiteral("settings 38400,n,8,1"),
            QStringLiteral("readLength 0"), QStringLiteral("open"),
            QStringLiteral("close"),        QStringLiteral("port 7"),
            QStringLiteral("port 7"),       QStringLiteral("settings 38400,n,8,1"),
            QStringLiteral("readLength 0"), QStringLiteral("open"),
            QStringLiteral("clearRx"),      QStringLiteral("clearRx")};
        QCOMPARE(rig.port.calls.mid(0, expected.size()), expected);
        QCOMPARE(rig.store.saves, QStringList({QStringLiteral("StartUp/Pollrate=80"),
                                               QStringLiteral("StartUp/ComPort=7")}));
    }

    void absentComPortOpensPortFive()
    {
        Rig rig;
        rig.showAndActivate();
        QCOMPARE(rig.port.calls.first(), QStringLiteral("port 5"));
        QCOMPARE(rig.c().portList->currentIndex(), 4);
    }

    void failedOpenKeepsListAndTimer()
    {
        Rig rig(false);
        rig.showAndActivate();
        QVERIFY(!rig.port.portOpen);
        QCOMPARE(rig.c().portList->currentIndex(), -1);
        QCOMPARE(rig.c().portList->currentText(), QStringLiteral("Com1"));
        QVERIFY(rig.window->run().isPolling());
        QVERIFY(rig.store.saves.isEmpty());
        QCOMPARE(rig.c().portList->toolTip(), rig.port.errorText());
        QCOMPARE(rig.messages.size(), 1);

        // Picking another entry stores it and retries there.
        rig.port.openSucceeds = true;
        rig.pick(2);
        QVERIFY(rig.port.portOpen);
        QCOMPARE(rig.port.port, 3);
        QCOMPARE(rig.store.saves, QStringList{QStringLiteral("StartUp/ComPort=3")});
        QVERIFY(rig.window->run().isPolling());
    }

    void failedOpenAfterPickLeavesTimerStopped()
    {
        Rig rig;
        rig.showAndActivate();
        rig.port.openSucceeds = false;
        rig.pick(11);
        QVERIFY(!rig.port.portOpen);
        QVERIFY(!rig.window->run().isPolling());
        QCOMPARE(rig.store.saves.last(), QStringLiteral("StartUp/ComPort=12"));
    }

    void pickAppliesTwoCharacterRule_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("port");
        QTest::newRow("Com09 with trailing blank") << 8 << 9;
        QTest::newRow("Com16") << 15 << 16;
        QTest::newRow("Com05, the port already open") << 4 << 5;
    }
    void pickAppliesTwoCharacterRule()
    {
        QFETCH(int, entry);
        QFETCH(int, port);
        Rig rig;
        rig.showAndActivate();
        rig.port.calls.clear();
        rig.store.saves.clear();
        rig.pick(entry);
        QCOMPARE(rig.port.calls.mid(0, 3),
                 QStringList({QStringLiteral("close"), QStringLiteral("port %1").arg(port),
                              QStringLiteral("port %1").arg(port)}));
        QVERIFY(rig.port.portOpen);
        QCOMPARE(rig.store.saves, QStringList{QStringLiteral("StartUp/ComPort=%1").arg(port)});
        QCOMPARE(rig.c().portList->currentIndex(), entry);
        QVERIFY(rig.window->run().isPolling());
    }

    void buttonsSetFlagsThatTheTickSends()
    {
        Rig rig;
        rig.showAndActivate();
        rig.window->run().pausePolling();
        QTest::mouseClick(rig.c().peakButton, Qt::LeftButton);
        QTest::mouseClick(rig.c().alarmButton, Qt::LeftButton);
        QTest::mouseClick(rig.c().alarmButton, Qt::LeftButton);
        QVERIFY(rig.port.writes().isEmpty());
        QVERIFY(rig.c().replyBox->text().isEmpty());

        rig.port.reads = {Reply};
        rig.window->run().pollTick();
        QCOMPARE(rig.port.writes(),
                 QStringList({QStringLiteral("write ;A?"), QStringLiteral("write ;F?")}));
        QCOMPARE(rig.c().replyBox->text(), Reply);
        QCOMPARE(rig.window->run().record().power, 100.0);
        QVERIFY(!rig.window->run().pendingCommands().any());
        // The readings follow the accepted reply.
        QCOMPARE(rig.c().powerLabel->text(), QStringLiteral("100.00"));
        QCOMPARE(rig.c().swrBox->text(), QStringLiteral("1.20"));
        QCOMPARE(rig.window->run().alarmSetting(), 2);
        QCOMPARE(rig.window->run().record().resistance, 50.0);
    }

    void rejectedReadKeepsLastReply()
    {
        Rig rig;
        rig.showAndActivate();
        rig.window->run().pausePolling();
        rig.port.reads = {Reply, Reply.left(42)};
        rig.window->run().pollTick();
        rig.window->run().pollTick();
        QCOMPARE(rig.c().replyBox->text(), Reply);
        QCOMPARE(rig.window->run().record().swr, 1.2);
    }

    void lostPortShowsInTitleUntilReopened()
    {
        Rig rig;
        rig.showAndActivate();
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Vossbridge"));
        rig.port.portOpen = false;
        rig.window->run().portLost(QStringLiteral("Input/output error"));
        QVERIFY(rig.window->windowTitle().contains(QStringLiteral("port lost")));
        QCOMPARE(rig.c().portList->toolTip(), QStringLiteral("Input/output error"));
        rig.pick(4);
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Vossbridge"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
