// SPDX-License-Identifier: GPL-3.0-or-later
// The meter simulator's scripting: a number it can't send in its field is
// refused rather than cut short or converted out of range.
#include "MeterSimulator.h"

#include <QTest>

class TestMeterSim : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("alarm 1e20: no int holds it") << "alarm 1e20" << false;
        QTest::newRow("alarm -1") << "alarm -1" << false;
        QTest::newRow("alarm 10: two digits") << "alarm 10" << false;
        QTest::newRow("alarm 1.5: not whole") << "alarm 1.5" << false;
        QTest::newRow("alarm 9: the field's last digit") << "alarm 9" << true;
        QTest::newRow("range nan") << "range nan" << false;
        QTest::newRow("peak inf") << "peak inf" << false;
        QTest::newRow("power 99999.9 fills 7 characters") << "power 99999.9" << true;
        QTest::newRow("power -9999.9 fills 7 characters") << "power -9999.9" << true;
        QTest::newRow("power 100000") << "power 100000" << false;
        QTest::newRow("power 99999.96 rounds to 8 characters") << "power 99999.96" << false;
        QTest::newRow("power inf") << "power inf" << false;
        QTest::newRow("power 1e300") << "power 1e300" << false;
        QTest::newRow("swr 9.99") << "swr 9.99" << true;
        QTest::newRow("swr 10") << "swr 10" << false;
        QTest::newRow("swr nan") << "swr nan" << false;
        QTest::newRow("phase -99.9") << "phase -99.9" << true;
        QTest::newRow("phase -100") << "phase -100" << false;
        QTest::newRow("gate 9999") << "gate 9999" << true;
        QTest::newRow("gate 10000") << "gate 10000" << false;
        QTest::newRow("delay 1e20") << "delay 1e20" << false;
        QTest::newRow("delay 60000") << "delay 60000" << true;
        QTest::newRow("cross 1") << "cross 1" << true;
        QTest::newRow("cross -1") << "cross -1" << false;
        QTest::newRow("power with no number") << "power" << false;
        QTest::newRow("reply garbage") << "reply garbage" << true;
        QTest::newRow("unknown verb") << "volume 3" << false;
    }
    void commands()
    {
        QFETCH(QString, command);
        QFETCH(bool, accepted);
        QString log;
        QTextStream out(&log);
        MeterSimulator meter(out);
        QCOMPARE(meter.execute(command), accepted);
    }
};

QTEST_GUILESS_MAIN(TestMeterSim)
#include "tst_metersim.moc"
