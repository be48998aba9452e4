// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowRig.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QStringList FirstRunKeys{"Position-Left", "Position-Top", "PwrMode", "Height",   "mnuSetup",
                               "mnuSmall",      "mnuVector",    "ComPort", "Pollrate", "Range"};

struct Rig : WindowRig {
    explicit Rig(bool runBefore, bool openSucceeds = true) : WindowRig(runBefore)
    {
        port.openSucceeds = openSucceeds;
    }
    QStringList startUpKeys() const
    {
        QStringList keys;
        for (const QString& k : store.values.keys()) {
            if (k.startsWith(QStringLiteral("StartUp/")))
                keys << k.mid(8);
        }
        return keys;
    }
};
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A kill during the first start must leave all first-run keys or none:
    // they reach the file in one write. Keys that a file lacks anyway read
    // as their defaults.
    void keysWrittenTogetherReachTheFileTogether()
    {
        Rig rig(false);
        rig.start();
        QVERIFY(rig.store.batches.contains(FirstRunKeys));
        rig.store.batches.clear();
        rig.window->showSmallStyle();
        const QStringList style{"Height", "mnuSetup", "mnuSmall", "mnuVector"};
        QCOMPARE(rig.store.batches, QList<QStringList>{style});
        rig.store.batches.clear();
        rig.window->close();
        const QStringList atExit{"Position-Left", "Position-Top", "ComPort", "Alarm", "Scale"};
        QCOMPARE(rig.store.batches, QList<QStringList>{atExit});
    }
    void markerWithMissingKeysReadsDefaults()
    {
        Rig rig(true);
        for (const char* key : {"Height", "ComPort", "Pollrate", "mnuSetup"})
            rig.store.values.remove(u"StartUp/"_s + QLatin1StringView(key));
        rig.start();
        QCOMPARE(rig.window->outerHeightTwips(), 3495.0f);
        QCOMPARE(rig.port.port, 5);
        QCOMPARE(int(rig.window->run().pollPeriod()), 80);
        QVERIFY(rig.window->menu().setupAction->isChecked());
    }

    void firstRunWritesDefaultsBeforeReadingAny()
    {
        Rig rig(false);
        rig.start();
        // The port list reads its device mapping when created; only StartUp counts here.
        const QStringList a = rig.store.accesses.filter(QStringLiteral(" StartUp/"));
        QCOMPARE(a.first(), QStringLiteral("read StartUp/Position-Left"));
        QStringList written;
        for (const QString& access : a.mid(1, 10)) {
            QVERIFY2(access.startsWith(QStringLiteral("save StartUp/")), qPrintable(access));
            written << access.mid(13).section(u'=', 0, 0);
        }
        QCOMPARE(written, FirstRunKeys);
        QCOMPARE(a.mid(3, 8),
                 QStringList({"save StartUp/PwrMode=0", "save StartUp/Height=3495",
                              "save StartUp/mnuSetup=True", "save StartUp/mnuSmall=False",
                              "save StartUp/mnuVector=False", "save StartUp/ComPort=5",
                              "save StartUp/Pollrate=80", "save StartUp/Range=3"}));
        // Where the window was first shown, as whole twips.
        QCOMPARE(rig.stored(u"Position-Left"_s), QString::number(rig.window->geometry().x() * 15));
        QCOMPARE(rig.stored(u"Position-Top"_s), QString::number(rig.window->geometry().y() * 15));

        QCOMPARE(rig.window->outerHeightTwips(), 3495.0f);
        QVERIFY(rig.window->menu().setupAction->isChecked());
        QVERIFY(!rig.window->menu().smallAction->isChecked());
        QVERIFY(!rig.window->menu().vectorAction->isChecked());
        QCOMPARE(int(rig.window->run().pollPeriod()), 80);
        QCOMPARE(rig.window->controls().pollPeriodBox->text(), QStringLiteral("80"));
        QCOMPARE(rig.port.port, 5);
        QVERIFY(rig.port.portOpen);
        QVERIFY(rig.messages.isEmpty());
    }

    void missingPositionLeftRewritesEveryDefault()
    {
        Rig rig(true);
        rig.store.values.remove(QStringLiteral("StartUp/Position-Left"));
        rig.set(u"ComPort"_s, u"9"_s);
        rig.set(u"Pollrate"_s, u"300"_s);
        rig.set(u"Height"_s, u"1800"_s);
        rig.set(u"mnuSetup"_s, u"False"_s);
        rig.set(u"mnuSmall"_s, u"True"_s);
        rig.start();
        QCOMPARE(rig.stored(u"ComPort"_s), QStringLiteral("5"));
        QCOMPARE(rig.stored(u"Pollrate"_s), QStringLiteral("80"));
        QCOMPARE(rig.stored(u"Height"_s), QStringLiteral("3495"));
        QCOMPARE(rig.stored(u"mnuSmall"_s), QStringLiteral("False"));
        QCOMPARE(rig.port.port, 5);
    }

    void storedSettingsAreRestored()
    {
        Rig rig(true);
        rig.set(u"Position-Left"_s, u"1500"_s);
        rig.set(u"Position-Top"_s, u"750"_s);
        rig.set(u"Height"_s, u"1800"_s);
        rig.set(u"mnuSetup"_s, u"False"_s);
        rig.set(u"mnuSmall"_s, u"True"_s);
        rig.set(u"Pollrate"_s, u"250"_s);
        rig.set(u"ComPort"_s, u"12"_s);
        rig.start();
        QCOMPARE(rig.window->geometry().topLeft(), QPoint(100, 50));
        QCOMPARE(rig.window->leftTwips(), 1500.0f);
        QCOMPARE(rig.window->outerHeightTwips(), 1800.0f);
        QVERIFY(!rig.window->menu().setupAction->isChecked());
        QVERIFY(rig.window->menu().smallAction->isChecked());
        QCOMPARE(int(rig.window->run().pollPeriod()), 250);
        QCOMPARE(rig.port.port, 12);
        QCOMPARE(rig.window->controls().portList->currentIndex(), 11);
    }

    // Restoring the scroll bar's own starting value is no change.
    void storedPollrateOf50LeavesTextEmpty()
    {
        Rig rig(true);
        rig.start();
        QCOMPARE(int(rig.window->run().pollPeriod()), 50);
        QVERIFY(rig.window->controls().pollPeriodBox->text().isEmpty());
        QVERIFY(!rig.store.saves.contains(QStringLiteral("StartUp/Pollrate=50")));
    }

    void textsThatDoNotConvertReadAsDefaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pollPeriod");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("setupChecked");
        QTest::newRow("Pollrate not a number") << "Pollrate"
                                               << "fast" << 80 << 5 << true;
        QTest::newRow("Pollrate below the scroll bar") << "Pollrate"
                                                       << "20" << 80 << 5 << true;
        QTest::newRow("Pollrate above the scroll bar") << "Pollrate"
                                                       << "99999" << 80 << 5 << true;
        QTest::newRow("Pollrate empty") << "Pollrate"
                                        << "" << 80 << 5 << true;
        QTest::newRow("Pollrate to the nearest") << "Pollrate"
                                                 << "120.4" << 120 << 5 << true;
        QTest::newRow("ComPort not a number") << "ComPort"
                                              << "five" << 50 << 5 << true;
        QTest::newRow("ComPort beyond 16 bits") << "ComPort"
                                                << "70000" << 50 << 5 << true;
        QTest::newRow("ComPort 17 used as stored") << "ComPort"
                                                   << "17" << 50 << 17 << true;
        QTest::newRow("mnuSetup neither True nor False") << "mnuSetup"
                                                         << "yes" << 50 << 5 << true;
        QTest::newRow("mnuSetup False") << "mnuSetup"
                                        << "False" << 50 << 5 << false;
        QTest::newRow("mnuSetup lower case") << "mnuSetup"
                                             << "false" << 50 << 5 << true;
    }
    void textsThatDoNotConvertReadAsDefaults()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, pollPeriod);
        QFETCH(int, port);
        QFETCH(bool, setupChecked);
        Rig rig(true);
        rig.set(key, text);
        rig.start();
        QCOMPARE(int(rig.window->run().pollPeriod()), pollPeriod);
        QCOMPARE(rig.window->controls().pollPeriodBar->value(), pollPeriod);
        QCOMPARE(int(rig.port.port), port);
        QCOMPARE(rig.window->menu().setupAction->isChecked(), setupChecked);
        // A port without an entry leaves the list as it was.
        if (port == 17)
            QCOMPARE(rig.window->controls().portList->currentIndex(), -1);
    }

    void positionAndHeightThatDoNotConvert()
    {
        Rig rig(true);
        rig.set(u"Position-Left"_s, u"left"_s);
        rig.set(u"Position-Top"_s, u"750"_s);
        rig.set(u"Height"_s, u"2550 twips"_s);
        rig.start();
        QCOMPARE(rig.window->topTwips(), 750.0f);
        // Height reads leniently: its leading number.
        QCOMPARE(rig.window->outerHeightTwips(), 2550.0f);
    }

    void failedOpenShowsMessageOnceAndKeepsPolling()
    {
        Rig rig(true, false);
        rig.start();
        QCOMPARE(rig.messages,
                 QStringList{"Vossbridge|Com Port is not available. Check Com Port setting."});
        QCOMPARE(rig.timerRunningDuringMessage, QList<bool>{true});
        QVERIFY(rig.window->run().isPolling());
        QVERIFY(!rig.port.portOpen);
        QCOMPARE(rig.window->controls().portList->currentText(), QStringLiteral("Com1"));
        QCOMPARE(rig.window->controls().portList->currentIndex(), -1);
        QVERIFY(rig.store.saves.isEmpty());
        QCOMPARE(rig.host.creations, 0);
        // Nothing after the open: no list selection, no buffer clear.
        QCOMPARE(rig.port.calls.last(), QStringLiteral("open"));
    }

    void activationFindingPortOpenKeepsIt()
    {
        Rig rig(true);
        rig.start();
        rig.port.calls.clear();
        rig.window->activate();
        QVERIFY(!rig.port.calls.contains(QStringLiteral("close")));
        QVERIFY(rig.port.portOpen);
        QVERIFY(rig.window->run().isPolling());
        QCOMPARE(rig.host.creations, 3);
    }

    void firstRunAndShutdownLeaveTwelveKeys()
    {
        Rig rig(false);
        rig.start();
        QSignalSpy unloaded(rig.window.get(), &MainWindow::unloaded);
        rig.store.saves.clear();
        rig.window->close();
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(!rig.window->run().isPolling());
        QVERIFY(!rig.port.portOpen);
        const QStringList expected{
            QStringLiteral("StartUp/Position-Left=%1").arg(rig.window->geometry().x() * 15),
            QStringLiteral("StartUp/Position-Top=%1").arg(rig.window->geometry().y() * 15),
            "StartUp/ComPort=5", "StartUp/Alarm=0", "StartUp/Scale=0"};
        QCOMPARE(rig.store.saves, expected);
        QStringList keys = FirstRunKeys;
        keys << "Alarm"
             << "Scale";
        keys.sort();
        QCOMPARE(rig.startUpKeys(), keys);
    }

    void shutdownWithPortClosedStillStores()
    {
        Rig rig(true, false);
        rig.set(u"ComPort"_s, u"7"_s);
        rig.start();
        rig.window->setGeometry(QRect(QPoint(40, 20), rig.window->size()));
        rig.window->close();
        QCOMPARE(rig.store.saves,
                 QStringList({"StartUp/Position-Left=600", "StartUp/Position-Top=300",
                              "StartUp/ComPort=7", "StartUp/Alarm=0", "StartUp/Scale=0"}));
        QCOMPARE(rig.port.calls.last(), QStringLiteral("close"));
        QCOMPARE(rig.messages.size(), 1);
    }

    void shutdownStoresTheMetersAlarmSetting()
    {
        Rig rig(true);
        rig.start();
        rig.window->run().pausePolling();
        rig.port.reads = {QStringLiteral(";  100.0, 50.0,  0.0,3,  HF  ,0,0,  20,1.20")};
        rig.window->run().pollTick();
        rig.window->close();
        QCOMPARE(rig.stored(u"Alarm"_s), QStringLiteral("3"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
