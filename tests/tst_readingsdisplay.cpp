// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingsDisplay.h"

#include <QApplication>
#include <QTest>

namespace {
struct Readings {
    QWidget client;
    MainControls c = BuildMainControls(&client);
    StatusRecord record;
    ReadingState state;

    // As the run and the window do it, reply by reply.
    void show(const StatusRecord& r, const QLocale& locale = QLocale::c())
    {
        record = r;
        FollowReading(record, state);
        ShowReadings(c, record, state, locale);
    }
    QColor alarmColour() const { return c.alarmButton->faceColour(); }
};

QColor ButtonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

StatusRecord Record(double power, double swr, double alarmSetting)
{
    StatusRecord r;
    r.power = power;
    r.swr = swr;
    r.alarmSetting = alarmSetting;
    return r;
}
} // namespace

class TestReadingsDisplay : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textForms_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("general");
        QTest::addColumn<QString>("power"); // ###0.00
        QTest::addColumn<QString>("swr");   // #.00
        QTest::newRow("0") << 0.0 << "0"
                           << "0.00"
                           << ".00";
        QTest::newRow("-0") << -0.0 << "0"
                            << "0.00"
                            << ".00";
        QTest::newRow("0.5") << 0.5 << "0.5"
                             << "0.50"
                             << ".50";
        QTest::newRow("1.234 rounds down") << 1.234 << "1.234"
                                           << "1.23"
                                           << "1.23";
        QTest::newRow("1.236 rounds up") << 1.236 << "1.236"
                                         << "1.24"
                                         << "1.24";
        QTest::newRow("0.996 rounds to a whole") << 0.996 << "0.996"
                                                 << "1.00"
                                                 << "1.00";
        QTest::newRow("12") << 12.0 << "12"
                            << "12.00"
                            << "12.00";
        QTest::newRow("12.5") << 12.5 << "12.5"
                              << "12.50"
                              << "12.50";
        QTest::newRow("50") << 50.0 << "50"
                            << "50.00"
                            << "50.00";
        QTest::newRow("2500, no thousands separator") << 2500.0 << "2500"
                                                      << "2500.00"
                                                      << "2500.00";
        QTest::newRow("negative") << -45.0 << "-45"
                                  << "-45.00"
                                  << "-45.00";
        QTest::newRow("negative below 1") << -0.25 << "-0.25"
                                          << "-0.25"
                                          << "-.25";
        QTest::newRow("15 significant digits") << 35.3553390593274 << "35.3553390593274"
                                               << "35.36"
                                               << "35.36";
    }
    void textForms()
    {
        QFETCH(double, value);
        QFETCH(QString, general);
        QFETCH(QString, power);
        QFETCH(QString, swr);
        const QLocale c = QLocale::c();
        QCOMPARE(GeneralNumberText(value, c), general);
        QCOMPARE(PowerText(value, c), power);
        QCOMPARE(SwrText(value, c), swr);

        // A decimal comma stands wherever the point stood.
        const QLocale german(QLocale::German, QLocale::Germany);
        const auto comma = [](QString s) { return s.replace(u'.', u','); };
        QCOMPARE(GeneralNumberText(value, german), comma(general));
        QCOMPARE(PowerText(value, german), comma(power));
        QCOMPARE(SwrText(value, german), comma(swr));
    }

    void vector_data()
    {
        QTest::addColumn<double>("impedance");
        QTest::addColumn<double>("phase");
        QTest::addColumn<double>("resistance");
        QTest::addColumn<double>("reactance");
        // The divisor 57.3 leaves a little resistance at 90 degrees.
        QTest::newRow("phase 0") << 50.0 << 0.0 << 50.0 << 0.0;
        QTest::newRow("phase 90") << 50.0 << 90.0 << 0.0057849 << 49.9999997;
        QTest::newRow("phase 45") << 50.0 << 45.0 << 35.35738 << 35.35329;
        QTest::newRow("phase -45, magnitudes") << 50.0 << -45.0 << 35.35738 << 35.35329;
        QTest::newRow("phase 180, positive resistance") << 50.0 << 180.0 << 49.9999987 << 0.0115699;
    }
    void vector()
    {
        QFETCH(double, impedance);
        QFETCH(double, phase);
        QFETCH(double, resistance);
        QFETCH(double, reactance);
        StatusRecord r;
        r.impedance = impedance;
        r.phase = phase;
        CalcVector(r);
        QVERIFY2(std::abs(r.resistance - resistance) < 1e-5,
                 qPrintable(QString::number(r.resistance)));
        QVERIFY2(std::abs(r.reactance - reactance) < 1e-5,
                 qPrintable(QString::number(r.reactance)));
    }

    void vectorBoxesGatedAbove15_data()
    {
        QTest::addColumn<double>("gate");
        QTest::addColumn<QStringList>("boxes");
        // Each value stands over its caption: Resistance, Phase, Impedance, Reactance.
        QTest::newRow("gate 16 shows the values") << 16.0 << QStringList{"50", "0", "50", "0"};
        QTest::newRow("gate 15 shows zeros") << 15.0 << QStringList{"0.00", "0.00", "0.00", "0.00"};
        QTest::newRow("gate 0 shows zeros") << 0.0 << QStringList{"0.00", "0.00", "0.00", "0.00"};
    }
    void vectorBoxesGatedAbove15()
    {
        QFETCH(double, gate);
        QFETCH(QStringList, boxes);
        Readings d;
        StatusRecord r;
        r.impedance = 50;
        r.vectorGate = gate;
        d.show(r);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(d.c.vectorBoxes[i]->text(), boxes[i]);
        // Computed whether or not they are shown.
        QCOMPARE(d.record.resistance, 50.0);
    }

    void vectorBoxesKeepImpedanceAndResistanceApart()
    {
        Readings d;
        StatusRecord r;
        r.impedance = 50;
        r.phase = 60;
        r.vectorGate = 20;
        d.show(r);
        QCOMPARE(d.c.resistanceCaption->text(), QStringLiteral("Resistance"));
        QCOMPARE(d.c.vectorBoxes[0]->text(), GeneralNumberText(d.record.resistance, QLocale::c()));
        QCOMPARE(d.c.impedanceCaption->text(), QStringLiteral("Impedance"));
        QCOMPARE(d.c.vectorBoxes[2]->text(), QStringLiteral("50"));
        QCOMPARE(d.c.vectorBoxes[1]->text(), QStringLiteral("60"));
        QCOMPARE(d.c.vectorBoxes[3]->text(), GeneralNumberText(d.record.reactance, QLocale::c()));
    }

    void peakOrNormal_data()
    {
        QTest::addColumn<double>("before");
        QTest::addColumn<double>("flag");
        QTest::addColumn<bool>("peakShown");
        QTest::addColumn<bool>("normShown");
        QTest::newRow("0 shows Norm") << -1.0 << 0.0 << false << true;
        QTest::newRow("1 shows Peak") << -1.0 << 1.0 << true << false;
        QTest::newRow("2 before any: neither") << -1.0 << 2.0 << false << false;
        QTest::newRow("2 after 1 keeps Peak") << 1.0 << 2.0 << true << false;
        QTest::newRow("2 after 0 keeps Norm") << 0.0 << 2.0 << false << true;
    }
    void peakOrNormal()
    {
        QFETCH(double, before);
        QFETCH(double, flag);
        QFETCH(bool, peakShown);
        QFETCH(bool, normShown);
        Readings d;
        d.client.show();
        StatusRecord r;
        if (before >= 0) {
            r.peakFlag = before;
            d.show(r);
        }
        r.peakFlag = flag;
        d.show(r);
        QCOMPARE(d.c.peakLabel->isVisible(), peakShown);
        QCOMPARE(d.c.normalLabel->isVisible(), normShown);
    }

    void alarmTable_data()
    {
        QTest::addColumn<double>("power");
        QTest::addColumn<double>("swr");
        QTest::addColumn<double>("setting");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("red");
        QTest::newRow("1: swr exactly 1.5") << 100.0 << 1.5 << 1.0 << "1.5" << 1 << true;
        QTest::newRow("1: swr 1.49") << 100.0 << 1.49 << 1.0 << "1.5" << 1 << false;
        QTest::newRow("1: power exactly 1") << 1.0 << 5.0 << 1.0 << "1.5" << 1 << false;
        QTest::newRow("1: power 1.01") << 1.01 << 5.0 << 1.0 << "1.5" << 1 << true;
        QTest::newRow("2: swr exactly 2.0") << 100.0 << 2.0 << 2.0 << "2.0" << 2 << true;
        QTest::newRow("2: swr 1.99") << 100.0 << 1.99 << 2.0 << "2.0" << 2 << false;
        QTest::newRow("2: power exactly 1") << 1.0 << 3.0 << 2.0 << "2.0" << 2 << false;
        QTest::newRow("3: swr exactly 2.5") << 100.0 << 2.5 << 3.0 << "2.5" << 3 << true;
        QTest::newRow("3: power exactly 1") << 1.0 << 9.0 << 3.0 << "2.5" << 3 << false;
        QTest::newRow("4: power 0, swr 3.0") << 0.0 << 3.0 << 4.0 << "3.0" << 4 << true;
        QTest::newRow("4: swr 2.99") << 100.0 << 2.99 << 4.0 << "3.0" << 4 << false;
        QTest::newRow("0: off") << 100.0 << 9.0 << 0.0 << "Off" << 0 << false;
    }
    void alarmTable()
    {
        QFETCH(double, power);
        QFETCH(double, swr);
        QFETCH(double, setting);
        QFETCH(QString, caption);
        QFETCH(int, state);
        QFETCH(bool, red);
        Readings d;
        d.show(Record(power, swr, setting));
        QCOMPARE(d.c.alarmSettingLabel->text(), caption);
        QCOMPARE(d.state.alarmSetting, state);
        QCOMPARE(d.alarmColour(), red ? AlarmRed : ButtonFace());
    }

    // The colour as the user sees it: the style must not shade the dark red.
    void alarmColourDrawnExactly()
    {
        Readings d;
        d.show(Record(100, 2.0, 1));
        const QImage face = d.c.alarmButton->grab().toImage();
        QCOMPARE(face.pixelColor(3, face.height() / 2), AlarmRed);
        QCOMPARE(face.pixelColor(face.width() - 4, 3), AlarmRed);
    }

    // Off and settings the table doesn't know leave the colour as it was.
    void alarmColourKeptWhenNotSet_data()
    {
        QTest::addColumn<double>("setting");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("state");
        QTest::newRow("1 to 0") << 0.0 << "Off" << 0;
        QTest::newRow("1 to 7") << 7.0 << "1.5" << 1;
        QTest::newRow("1 to 9") << 9.0 << "1.5" << 1;
        QTest::newRow("1 to -1") << -1.0 << "1.5" << 1;
        QTest::newRow("1 to 2.5, not a whole setting") << 2.5 << "1.5" << 1;
    }
    void alarmColourKeptWhenNotSet()
    {
        QFETCH(double, setting);
        QFETCH(QString, caption);
        QFETCH(int, state);
        Readings d;
        d.show(Record(100, 2.0, 1));
        QCOMPARE(d.alarmColour(), AlarmRed);
        d.show(Record(100, 1.0, setting));
        QCOMPARE(d.alarmColour(), AlarmRed);
        QCOMPARE(d.c.alarmSettingLabel->text(), caption);
        QCOMPARE(d.state.alarmSetting, state);

        // A later setting from 1 to 4 sets it again.
        d.show(Record(100, 1.0, 2));
        QCOMPARE(d.alarmColour(), ButtonFace());
    }

    void readingsAndUnit_data()
    {
        QTest::addColumn<double>("power");
        QTest::addColumn<double>("swr");
        QTest::addColumn<QString>("powerText");
        QTest::addColumn<QString>("swrText");
        QTest::newRow("zeros") << 0.0 << 0.0 << "0.00"
                               << ".00";
        QTest::newRow("12 W") << 12.0 << 1.2 << "12.00"
                              << "1.20";
        QTest::newRow("half a watt") << 0.5 << 0.5 << "0.50"
                                     << ".50";
        QTest::newRow("2500 W") << 2500.0 << 12.0 << "2500.00"
                                << "12.00";
    }
    void readingsAndUnit()
    {
        QFETCH(double, power);
        QFETCH(double, swr);
        QFETCH(QString, powerText);
        QFETCH(QString, swrText);
        Readings d;
        d.client.show();
        QVERIFY(!d.c.wattLabel->isVisible());
        StatusRecord r = Record(power, swr, 0);
        r.meterText = QStringLiteral(" HF   ");
        d.show(r);
        QCOMPARE(d.c.powerLabel->text(), powerText);
        QCOMPARE(d.c.swrBox->text(), swrText);
        QVERIFY(d.c.wattLabel->isVisible());
        QCOMPARE(d.c.meterTextLabel->text(), QStringLiteral(" HF   "));
    }

    void decimalCommaLocale()
    {
        Readings d;
        StatusRecord r = Record(12.5, 1.5, 0);
        r.impedance = 50.5;
        r.vectorGate = 20;
        d.show(r, QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(d.c.powerLabel->text(), QStringLiteral("12,50"));
        QCOMPARE(d.c.swrBox->text(), QStringLiteral("1,50"));
        QCOMPARE(d.c.vectorBoxes[2]->text(), QStringLiteral("50,5"));
    }
};

QTEST_MAIN(TestReadingsDisplay)
#include "tst_readingsdisplay.moc"
