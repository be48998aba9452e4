// SPDX-License-Identifier: GPL-3.0-or-later
#include "RigctlProtocol.h"

#include <QTest>

using namespace Rigctl;

class TestRigctlProtocol : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("vfoMode");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("wire");
        const int ok = int(ParseResult::Command);
        const int bad = int(ParseResult::Malformed);
        QTest::newRow("short get") << QByteArray("f") << false << ok << QByteArray("f\n");
        QTest::newRow("long set sent short, blanks squeezed")
            << QByteArray("\\set_freq   7074000 \r") << false << ok << QByteArray("F 7074000\n");
        QTest::newRow("extended prefix kept")
            << QByteArray("+l SWR") << false << ok << QByteArray("+l SWR\n");
        QTest::newRow("separator prefix")
            << QByteArray(";\\get_mode") << false << ok << QByteArray(";m\n");
        QTest::newRow("bare F waits for nothing here")
            << QByteArray("F") << false << bad << QByteArray();
        QTest::newRow("extra argument") << QByteArray("T 1 2") << false << bad << QByteArray();
        QTest::newRow("extra argument is the VFO")
            << QByteArray("T VFOA 1") << true << ok << QByteArray("T VFOA 1\n");
        QTest::newRow("unknown word") << QByteArray("xyz") << false << bad << QByteArray();
        QTest::newRow("unknown long name") << QByteArray("\\bogus") << false << bad << QByteArray();
        QTest::newRow("not relayed: dump_caps") << QByteArray("1") << false << bad << QByteArray();
        QTest::newRow("control byte") << QByteArray("f\x01") << false << bad << QByteArray();
        QTest::newRow("high byte") << QByteArray("f \xc3\xa9") << false << bad << QByteArray();
        QTest::newRow("blank") << QByteArray(" \t") << false << int(ParseResult::Empty)
                               << QByteArray();
        QTest::newRow("q") << QByteArray("q") << false << int(ParseResult::Quit) << QByteArray();
        QTest::newRow("prefix alone") << QByteArray("+") << false << bad << QByteArray();
    }
    void parse()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, vfoMode);
        QFETCH(int, result);
        QFETCH(QByteArray, wire);
        Command c;
        QCOMPARE(int(Parse(line, vfoMode, c)), result);
        if (result == int(ParseResult::Command))
            QCOMPARE(c.wireLine(), wire);
    }

    // Answers as rigctld 4.5 frames them (taken from a "rigctld -m 1" session).
    void answerComplete_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("complete");
        QTest::newRow("get, one value") << QByteArray("f") << QByteArray("145000000\n") << true;
        QTest::newRow("get, value cut") << QByteArray("f") << QByteArray("14500") << false;
        QTest::newRow("mode, first of two") << QByteArray("m") << QByteArray("FM\n") << false;
        QTest::newRow("mode, both") << QByteArray("m") << QByteArray("FM\n15000\n") << true;
        QTest::newRow("get fails") << QByteArray("m") << QByteArray("RPRT -11\n") << true;
        QTest::newRow("set") << QByteArray("T 1") << QByteArray("RPRT 0\n") << true;
        QTest::newRow("set, nothing yet") << QByteArray("T 1") << QByteArray() << false;
        QTest::newRow("extended, header only")
            << QByteArray("+f") << QByteArray("get_freq:\n") << false;
        QTest::newRow("extended, value no report")
            << QByteArray("+f") << QByteArray("get_freq:\nFrequency: 1\n") << false;
        QTest::newRow("extended whole")
            << QByteArray("+f") << QByteArray("get_freq:\nFrequency: 1\nRPRT 0\n") << true;
        QTest::newRow("one-line form")
            << QByteArray("|m") << QByteArray("get_mode:|Mode: FM|Passband: 15000|RPRT 0\n")
            << true;
        QTest::newRow("dump_state before done")
            << QByteArray("\\dump_state") << QByteArray("1\n1\n0\nrig_model=1\n") << false;
        QTest::newRow("dump_state done")
            << QByteArray("\\dump_state") << QByteArray("1\n1\n0\nrig_model=1\ndone\n") << true;
    }
    void answerComplete()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, answer);
        QFETCH(bool, complete);
        Command c;
        QCOMPARE(Parse(line, false, c), ParseResult::Command);
        QCOMPARE(AnswerComplete(c, answer), complete);
    }

    void localAnswers_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("values");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("default form")
            << QByteArray("l SWR") << QByteArray("1.500000\n") << QByteArray("RPRT -11\n");
        QTest::newRow("extended") << QByteArray("+l SWR")
                                  << QByteArray("get_level: SWR\n1.500000\nRPRT 0\n")
                                  << QByteArray("get_level: SWR\nRPRT -11\n");
        QTest::newRow("one line") << QByteArray("|\\get_level SWR")
                                  << QByteArray("get_level: SWR|1.500000|RPRT 0\n")
                                  << QByteArray("get_level: SWR|RPRT -11\n");
    }
    void localAnswers()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, values);
        QFETCH(QByteArray, error);
        Command c;
        QCOMPARE(Parse(line, false, c), ParseResult::Command);
        QCOMPARE(ValuesAnswer(c, {{}}, {"1.500000"}), values);
        QCOMPARE(ErrorAnswer(c, NotAvailable), error);
    }

    void levels_data()
    {
        QTest::addColumn<double>("power");
        QTest::addColumn<double>("range");
        QTest::addColumn<double>("fraction"); // -1: not known
        QTest::newRow("2500 W full scale") << 2500.0 << 0.0 << 1.0;
        QTest::newRow("250 W, 10 %") << 25.0 << 1.0 << 0.1;
        QTest::newRow("25 W, half") << 12.5 << 2.0 << 0.5;
        QTest::newRow("over full scale held at 1") << 40.0 << 2.0 << 1.0;
        QTest::newRow("range code 3: no full scale") << 250.0 << 3.0 << -1.0;
        QTest::newRow("range code -1: no full scale") << 250.0 << -1.0 << -1.0;
        QTest::newRow("range code 0.5: no full scale") << 250.0 << 0.5 << -1.0;
    }
    void levels()
    {
        QFETCH(double, power);
        QFETCH(double, range);
        QFETCH(double, fraction);
        StatusRecord r;
        r.power = power;
        r.rangeCode = range;
        r.swr = 1.7;
        QVERIFY(!MeterLevel("SWR", ReadingOf(r)));
        r.received = true;
        const MeterReading m = ReadingOf(r);
        QCOMPARE(MeterLevel("RFPOWER_METER", m).value_or(-1), fraction);
        QCOMPARE(*MeterLevel("RFPOWER_METER_WATTS", m), power);
        QCOMPARE(*MeterLevel("SWR", m), 1.7);
        QVERIFY(IsMeterLevel("RFPOWER_METER") && !IsMeterLevel("RFPOWER"));
        QVERIFY(!MeterLevel("RFPOWER", m));
    }

    void dumpStateLevels_data()
    {
        QTest::addColumn<QByteArray>("getLevel");
        QTest::addColumn<QByteArray>("extended");
        QTest::newRow("only BAND_SELECT")
            << QByteArray("0x20000000000000") << QByteArray("0x20008110000000");
        QTest::newRow("already all")
            << QByteArray("0xfffffffff7ffffff") << QByteArray("0xfffffffff7ffffff");
        QTest::newRow("none") << QByteArray("0x0") << QByteArray("0x8110000000");
    }
    void dumpStateLevels()
    {
        QFETCH(QByteArray, getLevel);
        QFETCH(QByteArray, extended);
        // The layout of rigctld 4.5's answer, two ranges and two steps long.
        const QByteArray head = "1\n1\n0\n"
                                "150000.000000 1500000000.000000 0x1ff -1 -1 0x77e00007 0xf\n"
                                "0 0 0 0 0 0 0\n"
                                "150000.000000 1500000000.000000 0x1ff 5000 100000 0x77e00007 0xf\n"
                                "0 0 0 0 0 0 0\n0x1ff 1\n0x1ff 0\n0 0\n0xc 2400\n0 0\n"
                                "9990\n9990\n10000\n0\n10 \n10 20 30 \n0xff\n0xfe\n";
        const QByteArray tail = "\n0x0\n0x0\n0x0\nrig_model=1\ndone\n";
        QCOMPARE(WithMeterLevels(head + getLevel + tail), head + extended + tail);
        QCOMPARE(WithoutSettings(head + extended + tail).right(12),
                 QByteArray("\n0x0\n0x0\n0x0\n").right(12));
        QVERIFY(!WithMeterLevels("1\n1\n0\nsomething else\n"));
    }

    void meterOnlyDumpStateHasTheThreeLevels()
    {
        const auto levels = WithMeterLevels(MeterOnlyDumpState());
        QVERIFY(levels);
        QCOMPARE(*levels, MeterOnlyDumpState());
        QVERIFY(MeterOnlyDumpState().contains("\n0x8110000000\n"));
    }
};

QTEST_APPLESS_MAIN(TestRigctlProtocol)
#include "tst_rigctlprotocol.moc"
