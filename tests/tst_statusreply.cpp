// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortMap.h"
#include "StatusReply.h"

#include <QTest>

namespace {
// A well-formed reply with every field distinct; positions as the meter sends them.
const QString Good = QStringLiteral(";  100.0, 50.0,-12.5,3,  HF  ,1,1,  20,1.50");

// `Good` with the text at 1-based position `pos` replaced.
QString With(int pos, const QString& text)
{
    QString s = Good;
    s.replace(pos - 1, text.size(), text);
    return s;
}

double Numeric(const StatusRecord& r, const QString& name)
{
    const QMap<QString, double> fields{{QStringLiteral("Power"), r.power},
                                       {QStringLiteral("Impedance"), r.impedance},
                                       {QStringLiteral("Phase"), r.phase},
                                       {QStringLiteral("AlarmSetting"), r.alarmSetting},
                                       {QStringLiteral("RangeCode"), r.rangeCode},
                                       {QStringLiteral("PeakFlag"), r.peakFlag},
                                       {QStringLiteral("VectorGate"), r.vectorGate},
                                       {QStringLiteral("Swr"), r.swr}};
    return fields.value(name, -999);
}
} // namespace

class TestStatusReply : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void acceptsExactlyOneReply_data()
    {
        QTest::addColumn<QString>("read");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("well formed, 43 chars") << Good << true;
        QTest::newRow("empty read") << QString() << false;
        QTest::newRow("42 chars: last one missing") << Good.left(42) << false;
        QTest::newRow("44 chars: extra digit") << Good + u'0' << false;
        QTest::newRow("44 chars: trailing CR") << Good + u'\r' << false;
        QTest::newRow("two replies in one read") << Good + Good << false;
        QTest::newRow("43 chars without leading ;") << u':' + Good.mid(1) << false;
        QTest::newRow("43 chars, leading blank") << u' ' + Good.mid(1) << false;
        QTest::newRow("reply then one-shot answer")
            << Good.left(40) + QStringLiteral(";A?") << true;
        QTest::newRow("43 chars of ;") << QString(43, u';') << true;
    }
    void acceptsExactlyOneReply()
    {
        QFETCH(QString, read);
        QFETCH(bool, accepted);
        QCOMPARE(IsStatusReply(read), accepted);
    }

    void separatorsAreNeverExamined()
    {
        StatusRecord plain;
        DecodeStatusReply(Good, plain);
        QString odd = Good;
        for (int pos : {9, 15, 21, 23, 30, 32, 34, 39})
            odd[pos - 1] = u'X';
        QVERIFY(IsStatusReply(odd));
        StatusRecord decoded;
        DecodeStatusReply(odd, decoded);
        QCOMPARE(decoded.power, plain.power);
        QCOMPARE(decoded.impedance, plain.impedance);
        QCOMPARE(decoded.phase, plain.phase);
        QCOMPARE(decoded.alarmSetting, plain.alarmSetting);
        QCOMPARE(decoded.meterText, plain.meterText);
        QCOMPARE(decoded.rangeCode, plain.rangeCode);
        QCOMPARE(decoded.peakFlag, plain.peakFlag);
        QCOMPARE(decoded.vectorGate, plain.vectorGate);
        QCOMPARE(decoded.swr, plain.swr);
    }

    void decodesEveryFieldFromItsPosition()
    {
        StatusRecord r;
        DecodeStatusReply(Good, r);
        QCOMPARE(r.power, 100.0);
        QCOMPARE(r.impedance, 50.0);
        QCOMPARE(r.phase, -12.5);
        QCOMPARE(r.alarmSetting, 3.0);
        QCOMPARE(r.meterText, QStringLiteral("  HF  "));
        QCOMPARE(r.rangeCode, 1.0);
        QCOMPARE(r.peakFlag, 1.0);
        QCOMPARE(r.vectorGate, 20.0);
        QCOMPARE(r.swr, 1.5);
    }

    void decodesFieldText_data()
    {
        QTest::addColumn<int>("pos");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("member");
        QTest::addColumn<double>("expected");
        QTest::newRow("power: blanks then 100.0")
            << 2 << QStringLiteral("  100.0") << QStringLiteral("Power") << 100.0;
        QTest::newRow("power: all blanks")
            << 2 << QStringLiteral("       ") << QStringLiteral("Power") << 0.0;
        QTest::newRow("power: 0012.50")
            << 2 << QStringLiteral("0012.50") << QStringLiteral("Power") << 12.5;
        QTest::newRow("power: blank inside 1 2.5")
            << 2 << QStringLiteral("  1 2.5") << QStringLiteral("Power") << 12.5;
        QTest::newRow("power: 1,5 stops at comma")
            << 2 << QStringLiteral("    1,5") << QStringLiteral("Power") << 1.0;
        QTest::newRow("power: 12A stops at letter")
            << 2 << QStringLiteral("    12A") << QStringLiteral("Power") << 12.0;
        QTest::newRow("power: letter first")
            << 2 << QStringLiteral("A12    ") << QStringLiteral("Power") << 0.0;
        QTest::newRow("power: second point ends it")
            << 2 << QStringLiteral("1.2.3  ") << QStringLiteral("Power") << 1.2;
        QTest::newRow("phase: minus sign")
            << 16 << QStringLiteral("- 45.") << QStringLiteral("Phase") << -45.0;
        QTest::newRow("phase: plus sign")
            << 16 << QStringLiteral("  +90") << QStringLiteral("Phase") << 90.0;
        QTest::newRow("phase: sign alone")
            << 16 << QStringLiteral("    -") << QStringLiteral("Phase") << 0.0;
        QTest::newRow("impedance: point first")
            << 10 << QStringLiteral("  .75") << QStringLiteral("Impedance") << 0.75;
        QTest::newRow("swr: 1.5 then blank")
            << 40 << QStringLiteral("1.5 ") << QStringLiteral("Swr") << 1.5;
        QTest::newRow("swr: tab inside")
            << 40 << QStringLiteral("2\t.5") << QStringLiteral("Swr") << 2.5;
        QTest::newRow("alarm setting 7 kept")
            << 22 << QStringLiteral("7") << QStringLiteral("AlarmSetting") << 7.0;
        QTest::newRow("range code 9 kept")
            << 31 << QStringLiteral("9") << QStringLiteral("RangeCode") << 9.0;
        QTest::newRow("peak flag 2 kept")
            << 33 << QStringLiteral("2") << QStringLiteral("PeakFlag") << 2.0;
        QTest::newRow("gate: 15") << 35 << QStringLiteral("  15") << QStringLiteral("VectorGate")
                                  << 15.0;
    }
    void decodesFieldText()
    {
        QFETCH(int, pos);
        QFETCH(QString, field);
        QFETCH(QString, member);
        QFETCH(double, expected);
        StatusRecord r;
        DecodeStatusReply(With(pos, field), r);
        QCOMPARE(Numeric(r, member), expected);
    }

    void label6KeepsItsBlanks_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("leading and trailing") << QStringLiteral("  HF  ");
        QTest::newRow("all blanks") << QStringLiteral("      ");
        QTest::newRow("digits") << QStringLiteral(" 12.5 ");
    }
    void label6KeepsItsBlanks()
    {
        QFETCH(QString, field);
        StatusRecord r;
        DecodeStatusReply(With(24, field), r);
        QCOMPARE(r.meterText, field);
    }

    void everyFieldIsOverwritten()
    {
        StatusRecord r;
        DecodeStatusReply(Good, r);
        DecodeStatusReply(u';' + QString(42, u' '), r);
        QCOMPARE(r.power, 0.0);
        QCOMPARE(r.swr, 0.0);
        QCOMPARE(r.peakFlag, 0.0);
        QCOMPARE(r.meterText, QString(6, u' '));
    }

    void portNumberFromEntry_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("port");
        QTest::newRow("Com01") << QStringLiteral("Com01") << 1;
        QTest::newRow("Com05") << QStringLiteral("Com05") << 5;
        QTest::newRow("Com09 with trailing blank") << QStringLiteral("Com09 ") << 9;
        QTest::newRow("Com12") << QStringLiteral("Com12") << 12;
        QTest::newRow("Com16") << QStringLiteral("Com16") << 16;
        QTest::newRow("first-run text Com1") << QStringLiteral("Com1") << 0;
        QTest::newRow("only the last two count") << QStringLiteral("9999") << 99;
        QTest::newRow("half rounds to even") << QStringLiteral(".5") << 0;
        QTest::newRow("empty") << QString() << 0;
    }
    void portNumberFromEntry()
    {
        QFETCH(QString, entry);
        QFETCH(int, port);
        QCOMPARE(PortNumberFromEntry(entry), port);
    }
};

QTEST_APPLESS_MAIN(TestStatusReply)
#include "tst_statusreply.moc"
