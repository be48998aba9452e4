// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSettingsStore.h"
#include "StationLinkSettings.h"
#include "StationLinkSettingsPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

class TestStationLinkSettingsPage : public QObject {
    Q_OBJECT

    static QLineEdit* field(QWidget& page, int index)
    {
        return page.findChildren<QLineEdit*>().at(index);
    }

private Q_SLOTS:
    // Fields: listen, rig, SWR limit, power floor.
    void apply_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("problem");
        QTest::newRow("defaults") << QStringList{"127.0.0.1:4534", "localhost:4532", "alarm", "5"}
                                  << "";
        QTest::newRow("meter only, number limit")
            << QStringList{"0.0.0.0:4534", "", "2.5", "0"} << "";
        QTest::newRow("IPv6 listen")
            << QStringList{"[::1]:4534", "rig.local:4532", "ALARM", "2500"} << "";
        QTest::newRow("listen on a name")
            << QStringList{"example.org:4534", "", "alarm", "5"} << "StationLink/Listen";
        QTest::newRow("listen without port")
            << QStringList{"127.0.0.1", "", "alarm", "5"} << "StationLink/Listen";
        QTest::newRow("port 0") << QStringList{"127.0.0.1:0", "", "alarm", "5"}
                                << "StationLink/Listen";
        QTest::newRow("port 65536")
            << QStringList{"127.0.0.1:65536", "", "alarm", "5"} << "StationLink/Listen";
        QTest::newRow("rig port too high")
            << QStringList{"127.0.0.1:4534", "rig:70000", "alarm", "5"}
            << "StationLink/Rig: \"rig:70000\" is not allowed: host:port with a port from 1 to "
               "65535";
        QTest::newRow("rig without port")
            << QStringList{"127.0.0.1:4534", "localhost", "alarm", "5"} << "StationLink/Rig";
        QTest::newRow("SWR below 1")
            << QStringList{"127.0.0.1:4534", "", "0.9", "5"} << "StationLink/SwrLimit";
        QTest::newRow("SWR word") << QStringList{"127.0.0.1:4534", "", "high", "5"}
                                  << "StationLink/SwrLimit";
        QTest::newRow("negative floor")
            << QStringList{"127.0.0.1:4534", "", "alarm", "-1"} << "StationLink/PowerFloor";
        QTest::newRow("floor not a number")
            << QStringList{"127.0.0.1:4534", "", "alarm", "5 W"} << "StationLink/PowerFloor";
    }
    void apply()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, problem);
        FakeSettingsStore store;
        StationLinkSettingsPage page(store);
        QSignalSpy applied(&page, &StationLinkSettingsPage::applied);
        for (int i = 0; i < 4; ++i)
            field(page, i)->setText(fields[i]);
        page.findChild<QCheckBox*>()->setChecked(true);
        QCOMPARE(page.apply(), problem.isEmpty());
        QCOMPARE(applied.size(), problem.isEmpty() ? 1 : 0);
        QVERIFY2(problem.isEmpty() ? page.problem().isEmpty() : page.problem().startsWith(problem),
                 qPrintable(page.problem()));
        if (!problem.isEmpty()) {
            QVERIFY(store.saves.isEmpty());
            return;
        }
        QCOMPARE(store.saves.size(), 8);
        QCOMPARE(store.values["StationLink/Enabled"], QString("true"));
        // What was saved reads back as entered.
        QCOMPARE(StationLinkSettings::Rig.read(store), fields[1].trimmed());
        QCOMPARE(StationLinkSettings::SwrLimit.read(store), fields[2].toLower());
    }

    // Texts other programs leave in the file.
    void readsNonsenseAsDefault_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reads");
        QTest::newRow("Enabled True") << "Enabled"
                                      << "yes"
                                      << "false";
        QTest::newRow("Listen garbage") << "Listen"
                                        << "anywhere"
                                        << "127.0.0.1:4534";
        QTest::newRow("Listen IPv6 unbracketed, as older files") << "Listen"
                                                                 << "::1:4534"
                                                                 << "::1:4534";
        QTest::newRow("Rig missing") << "Rig" << QString() << "localhost:4532";
        QTest::newRow("Rig empty: meter only") << "Rig"
                                               << ""
                                               << "";
        QTest::newRow("Rig no port") << "Rig"
                                     << "radio"
                                     << "localhost:4532";
        QTest::newRow("SwrLimit 0") << "SwrLimit"
                                    << "0"
                                    << "alarm";
        QTest::newRow("Count 0") << "Count"
                                 << "0"
                                 << "2";
        QTest::newRow("Count 1000") << "Count"
                                    << "1000"
                                    << "2";
        QTest::newRow("Hold missing: refuse") << "HoldUntilAcknowledged" << QString() << "true";
        QTest::newRow("Hold nonsense") << "HoldUntilAcknowledged"
                                       << "no"
                                       << "true";
        QTest::newRow("Hold false") << "HoldUntilAcknowledged"
                                    << "false"
                                    << "false";
        QTest::newRow("PowerFloor nan") << "PowerFloor"
                                        << "nan"
                                        << "5";
    }
    void readsNonsenseAsDefault()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(QString, reads);
        FakeSettingsStore store;
        if (!text.isNull())
            store.values["StationLink/" + key] = text;
        namespace S = StationLinkSettings;
        QString got;
        if (key == "Enabled")
            got = LowerCaseBoolText(S::Enabled.read(store));
        else if (key == "Listen")
            got = S::Listen.read(store);
        else if (key == "Rig")
            got = S::Rig.read(store);
        else if (key == "SwrLimit")
            got = S::SwrLimit.read(store);
        else if (key == "HoldUntilAcknowledged")
            got = LowerCaseBoolText(S::HoldUntilAcknowledged.read(store));
        else if (key == "Count")
            got = QString::number(S::Count.read(store));
        else
            got = ShortestDecimal(S::PowerFloor.read(store));
        QCOMPARE(got, reads);
    }
};

QTEST_MAIN(TestStationLinkSettingsPage)
#include "tst_stationlinksettingspage.moc"
