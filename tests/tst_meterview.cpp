// SPDX-License-Identifier: GPL-3.0-or-later
// The meter window: its scales, peak markers, alarm colour, history and
// settings, from tables of readings.
#include "BarMeter.h"
#include "FakeSettingsStore.h"
#include "HistoryChart.h"
#include "MaximumHold.h"
#include "MeterScales.h"
#include "MeterWindow.h"
#include "MeterWindowSettings.h"
#include "ReadingHistory.h"
#include "ReadingsDisplay.h"

#include <QTest>
#include <cmath>
#include <limits>

namespace {
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
const QColor SwrGreen{0, 140, 70};

StatusRecord Reading(double power, double swr, double rangeCode = 1, double peakFlag = 0)
{
    StatusRecord r;
    r.received = true;
    r.power = power;
    r.swr = swr;
    r.rangeCode = rangeCode;
    r.peakFlag = peakFlag;
    return r;
}

// A window whose clocks the test moves.
struct WindowRig {
    FakeSettingsStore store;
    qint64 steadyMs = 1000;
    qint64 epochMs = 1'800'000'000'000;
    std::unique_ptr<MeterWindow> window;

    WindowRig() { create(); }
    void create()
    {
        window = std::make_unique<MeterWindow>(store);
        window->setClocks([this] { return steadyMs; }, [this] { return epochMs; });
    }
    void feed(const StatusRecord& r, bool alarmShown = false, qint64 stepMs = 50)
    {
        steadyMs += stepMs;
        epochMs += stepMs;
        window->showReading(r, 0, alarmShown);
    }
};
} // namespace

class TestMeterView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fullScaleFromRangeCode_data();
    void fullScaleFromRangeCode();
    void niceCeiling_data();
    void niceCeiling();
    void barPlacesValues_data();
    void barPlacesValues();
    void peakHoldsThenFallsBack_data();
    void peakHoldsThenFallsBack();
    void peakMarkerDrawnWhereExpected_data();
    void peakMarkerDrawnWhereExpected();
    void historyClampsAndMarks_data();
    void historyClampsAndMarks();
    void historyKeepsAnHourAndSpikes();
    void powerScaleFollowsRange();
    void swrBarInAlarmColour_data();
    void swrBarInAlarmColour();
    void windowMarkersHoldAndFall();
    void drawsOnlyOnItsTimerAndNotWhileHidden();
    void saneWithOddReadings();
    void settingsKeptAndRestored();
    void badSettingsReadAsDefaults();
};

void TestMeterView::fullScaleFromRangeCode_data()
{
    QTest::addColumn<double>("code");
    QTest::addColumn<double>("fullScale"); // 0: none, the window keeps the last
    QTest::newRow("0: 2500 W") << 0.0 << 2500.0;
    QTest::newRow("1: 250 W") << 1.0 << 250.0;
    QTest::newRow("2: 25 W") << 2.0 << 25.0;
    QTest::newRow("3: none") << 3.0 << 0.0;
    QTest::newRow("-1: none") << -1.0 << 0.0;
    QTest::newRow("1.5: none") << 1.5 << 0.0;
    QTest::newRow("NaN: none") << NaN << 0.0;
}

void TestMeterView::fullScaleFromRangeCode()
{
    QFETCH(double, code);
    QFETCH(double, fullScale);
    QCOMPARE(FullScaleWatts(code).value_or(0), fullScale);
    if (fullScale > 0)
        QCOMPARE(PowerScale(fullScale).marks.constLast(), fullScale);
}

void TestMeterView::niceCeiling_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("ceiling");
    QTest::newRow("0") << 0.0 << 1.0;
    QTest::newRow("negative") << -5.0 << 1.0;
    QTest::newRow("NaN") << NaN << 1.0;
    QTest::newRow("infinite") << Inf << 1.0;
    QTest::newRow("0.3") << 0.3 << 0.5;
    QTest::newRow("1 exactly") << 1.0 << 1.0;
    QTest::newRow("1.01") << 1.01 << 2.0;
    QTest::newRow("2.2") << 2.2 << 2.5;
    QTest::newRow("25 exactly") << 25.0 << 25.0;
    QTest::newRow("102.5") << 102.5 << 200.0;
    QTest::newRow("250 as a float") << double(250.0f) << 250.0;
    QTest::newRow("2500.1") << 2500.1 << 5000.0;
    QTest::newRow("7000") << 7000.0 << 10000.0;
}

void TestMeterView::niceCeiling()
{
    QFETCH(double, value);
    QFETCH(double, ceiling);
    QCOMPARE(NiceCeiling(value), ceiling);
}

void TestMeterView::barPlacesValues_data()
{
    QTest::addColumn<bool>("swr");
    QTest::addColumn<double>("fullScale");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<QString>("note");
    QTest::newRow("power 0") << false << 25.0 << 0.0 << 0.0 << "";
    QTest::newRow("power half of 25 W") << false << 25.0 << 12.5 << 0.5 << "";
    QTest::newRow("power full 250 W") << false << 250.0 << 250.0 << 1.0 << "";
    QTest::newRow("power over 25 W") << false << 25.0 << 30.0 << 1.0 << "over 25 W";
    QTest::newRow("power huge") << false << 2500.0 << 1e12 << 1.0 << "over 2500 W";
    QTest::newRow("power negative") << false << 250.0 << -3.0 << 0.0 << "";
    QTest::newRow("power NaN") << false << 250.0 << NaN << 0.0 << "";
    QTest::newRow("swr unset 0") << true << 0.0 << 0.0 << 0.0 << "no reading";
    QTest::newRow("swr 1") << true << 0.0 << 1.0 << 0.0 << "";
    QTest::newRow("swr 1.5 mark") << true << 0.0 << 1.5 << 0.25 << "";
    QTest::newRow("swr 2") << true << 0.0 << 2.0 << 0.5 << "";
    QTest::newRow("swr 3 full") << true << 0.0 << 3.0 << 1.0 << "";
    QTest::newRow("swr 3.01 over") << true << 0.0 << 3.01 << 1.0 << "over 3";
    QTest::newRow("swr infinite") << true << 0.0 << Inf << 1.0 << "over 3";
}

void TestMeterView::barPlacesValues()
{
    QFETCH(bool, swr);
    QFETCH(double, fullScale);
    QFETCH(double, value);
    QFETCH(double, fraction);
    QFETCH(QString, note);
    BarMeter bar(QStringLiteral("t"));
    bar.setScale(swr ? SwrScale() : PowerScale(fullScale));
    bar.setUnderText(swr ? QStringLiteral("no reading") : QString());
    bar.setReading(value, QStringLiteral("x"));
    QCOMPARE(bar.fraction(value), fraction);
    QCOMPARE(bar.note(), note);
}

void TestMeterView::peakHoldsThenFallsBack_data()
{
    // Readings as "time:value", then the marker's level asked at `at`.
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<QStringList>("readings");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<double>("level");
    QTest::newRow("one reading") << 2000 << QStringList{"0:10"} << qint64(0) << 10.0;
    QTest::newRow("higher replaces at once")
        << 2000 << QStringList{"0:10", "100:40"} << qint64(100) << 40.0;
    QTest::newRow("lower held") << 2000 << QStringList{"0:40", "100:10"} << qint64(1999) << 40.0;
    QTest::newRow("falls back at hold time")
        << 2000 << QStringList{"0:40", "100:10"} << qint64(2000) << 10.0;
    QTest::newRow("falls back with no new reading")
        << 2000 << QStringList{"0:40"} << qint64(5000) << 40.0;
    QTest::newRow("falls to the latest, not the first lower")
        << 2000 << QStringList{"0:40", "500:20", "1500:5"} << qint64(2100) << 5.0;
    QTest::newRow("new hold after falling back")
        << 2000 << QStringList{"0:40", "2500:8", "3000:6"} << qint64(4000) << 8.0;
    QTest::newRow("equal peak restarts the hold")
        << 2000 << QStringList{"0:40", "1500:40", "1600:3"} << qint64(3000) << 40.0;
    QTest::newRow("hold 0 follows the reading")
        << 0 << QStringList{"0:40", "10:3"} << qint64(10) << 3.0;
    QTest::newRow("hold 5 s") << 5000 << QStringList{"0:40", "10:3"} << qint64(4999) << 40.0;
}

void TestMeterView::peakHoldsThenFallsBack()
{
    QFETCH(int, holdMs);
    QFETCH(QStringList, readings);
    QFETCH(qint64, at);
    QFETCH(double, level);
    qint64 now = 0;
    MaximumHold hold([&now] { return now; });
    hold.setHoldMs(holdMs);
    QVERIFY(!hold.hasValue());
    for (const QString& r : readings) {
        now = r.section(u':', 0, 0).toLongLong();
        hold.add(r.section(u':', 1).toDouble());
    }
    now = at;
    QCOMPARE(hold.level(), level);
}

void TestMeterView::peakMarkerDrawnWhereExpected_data()
{
    QTest::addColumn<double>("peak");
    QTest::addColumn<qreal>("pixelRatio");
    QTest::newRow("a fifth, scale 1") << 50.0 << qreal(1);
    QTest::newRow("half, scale 1") << 125.0 << qreal(1);
    QTest::newRow("full, scale 1") << 250.0 << qreal(1);
    QTest::newRow("over, held at the end") << 900.0 << qreal(1);
    QTest::newRow("three quarters, scale 2") << 187.5 << qreal(2);
}

void TestMeterView::peakMarkerDrawnWhereExpected()
{
    QFETCH(double, peak);
    QFETCH(qreal, pixelRatio);
    BarMeter bar(QStringLiteral("Forward power (W)"));
    bar.resize(500, 120);
    bar.setScale(PowerScale(250));
    bar.setReading(0, QStringLiteral("0.00"));
    bar.setPeak(peak);

    QImage image(bar.size() * pixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(pixelRatio);
    bar.render(&image);
    const QRectF barRect = bar.barRect();
    const int row = static_cast<int>((barRect.center().y()) * pixelRatio);
    // The marker's dark pixels on the bar's middle row, in logical pixels.
    QList<double> dark;
    for (int x = static_cast<int>(barRect.left() * pixelRatio) + 2;
         x < static_cast<int>(barRect.right() * pixelRatio) - 1; ++x) {
        if (qGray(image.pixel(x, row)) < 80)
            dark << x / pixelRatio;
    }
    QVERIFY2(!dark.isEmpty(), "no marker on the bar");
    const double expected = barRect.left() + std::min(peak / 250, 1.0) * barRect.width();
    const double drawn = (dark.constFirst() + dark.constLast()) / 2;
    QVERIFY2(std::abs(drawn - expected) <= 4,
             qPrintable(QStringLiteral("marker at %1, expected %2").arg(drawn).arg(expected)));
    QVERIFY(dark.constLast() - dark.constFirst() < 8); // one marker, not a fill
}

void TestMeterView::historyClampsAndMarks_data()
{
    QTest::addColumn<double>("power");
    QTest::addColumn<double>("fullScale");
    QTest::addColumn<double>("swr");
    QTest::addColumn<float>("keptPower");
    QTest::addColumn<float>("keptSwr");
    QTest::addColumn<int>("marks");
    QTest::newRow("plain") << 20.0 << 25.0 << 1.4 << 20.0f << 1.4f << 0;
    QTest::newRow("power 0, swr unset")
        << 0.0 << 25.0 << 0.0 << 0.0f << 1.0f << int(HistorySample::SwrUnset);
    QTest::newRow("above the range")
        << 300.0 << 250.0 << 2.0 << 250.0f << 2.0f << int(HistorySample::PowerClamped);
    QTest::newRow("negative power")
        << -1.0 << 250.0 << 2.0 << 0.0f << 2.0f << int(HistorySample::PowerClamped);
    QTest::newRow("huge both") << 1e300 << 2500.0 << 1e300 << 2500.0f << 10.0f
                               << int(HistorySample::PowerClamped | HistorySample::SwrClamped);
    QTest::newRow("NaN both") << NaN << 25.0 << NaN << 0.0f << 10.0f
                              << int(HistorySample::PowerClamped | HistorySample::SwrClamped);
    QTest::newRow("swr at the top") << 1.0 << 25.0 << 10.0 << 1.0f << 10.0f << 0;
}

void TestMeterView::historyClampsAndMarks()
{
    QFETCH(double, power);
    QFETCH(double, fullScale);
    QFETCH(double, swr);
    QFETCH(float, keptPower);
    QFETCH(float, keptSwr);
    QFETCH(int, marks);
    ReadingHistory history;
    history.add(1000, power, fullScale, swr);
    QCOMPARE(history.at(0).power, keptPower);
    QCOMPARE(history.at(0).swr, keptSwr);
    QCOMPARE(int(history.at(0).marks), marks);
    const ReadingHistory::Curves c = history.curves(0, 2000, 10);
    QCOMPARE(c.powerMarks.size() + c.swrMarks.size(), qPopulationCount(quint8(marks)));
}

void TestMeterView::historyKeepsAnHourAndSpikes()
{
    ReadingHistory history;
    // 61 minutes at 50 ms with one 1-reading spike in minute 30.
    const qint64 start = 1'000'000;
    const qint64 step = 50;
    const qint64 count = 61 * 60 * 1000 / step;
    for (qint64 i = 0; i < count; ++i)
        history.add(start + i * step, i == count / 2 ? 240 : 10, 250, 1.2);
    const qint64 newest = start + (count - 1) * step;
    QCOMPARE(history.at(history.size() - 1).timeMs, newest);
    QVERIFY(history.at(0).timeMs >= newest - ReadingHistory::KeptMs);
    QVERIFY(history.at(0).timeMs <= newest - ReadingHistory::KeptMs + step);

    const ReadingHistory::Curves c = history.curves(newest - ReadingHistory::KeptMs, newest, 600);
    QVERIFY2(c.power.size() <= 2 * 600, qPrintable(QString::number(c.power.size())));
    QCOMPARE(c.highestPower, 240.0);
    QVERIFY(std::any_of(c.power.cbegin(), c.power.cend(), [](QPointF p) { return p.y() == 240; }));
    // In time order, so the line does not double back.
    for (qsizetype i = 1; i < c.power.size(); ++i)
        QVERIFY(c.power[i].x() >= c.power[i - 1].x());

    // A clock set back does not put readings out of order.
    history.add(newest - 5000, 20, 250, 1.1);
    QCOMPARE(history.at(history.size() - 1).timeMs, newest);
}

void TestMeterView::powerScaleFollowsRange()
{
    WindowRig rig;
    rig.window->show();
    const struct {
        double code;
        double power;
        double expectedFullScale;
    } steps[] = {{2, 20, 25}, {1, 200, 250}, {7, 200, 250}, {0, 2000, 2500}, {2, 30, 25}};
    for (const auto& s : steps) {
        rig.feed(Reading(s.power, 1.2, s.code));
        rig.window->redrawNow();
        QCOMPARE(rig.window->powerBar().scale().maximum, s.expectedFullScale);
    }
    // The last reading, 30 W on the 25 W range, fills the bar and says so.
    QVERIFY(rig.window->powerBar().isOver());
    QCOMPARE(rig.window->powerBar().valueText(), PowerText(30, QLocale()));
    // Earlier readings on the higher ranges stay in the history unclamped;
    // the one above its own range is clamped and marked.
    QCOMPARE(rig.window->history().at(3).power, 2000.0f);
    QCOMPARE(rig.window->history().at(4).power, 25.0f);
    QVERIFY(rig.window->history().at(4).marks & HistorySample::PowerClamped);
    // The chart's scale still takes in the 2000 W reading of the 2500 W range.
    QCOMPARE(rig.window->chart().powerAxisTop(), 2000.0);
}

void TestMeterView::swrBarInAlarmColour_data()
{
    // The window follows the main window's judgement, whatever the reading.
    QTest::addColumn<double>("swr");
    QTest::addColumn<bool>("alarmShown");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("alarm on a high SWR") << 2.6 << true << AlarmRed;
    QTest::newRow("no alarm on a high SWR") << 2.6 << false << SwrGreen;
    QTest::newRow("alarm with SWR unset") << 0.0 << true << AlarmRed;
    QTest::newRow("no alarm, low SWR") << 1.1 << false << SwrGreen;
    QTest::newRow("alarm over the scale") << 9.9 << true << AlarmRed;
}

void TestMeterView::swrBarInAlarmColour()
{
    QFETCH(double, swr);
    QFETCH(bool, alarmShown);
    QFETCH(QColor, colour);
    WindowRig rig;
    rig.window->show();
    rig.feed(Reading(50, 1.5), !alarmShown);
    rig.window->redrawNow();
    rig.feed(Reading(50, swr), alarmShown);
    rig.window->redrawNow();
    QCOMPARE(rig.window->swrBar().barColour(), colour);
    QCOMPARE(rig.window->swrBar().barColour() == AlarmRed, alarmShown);
}

void TestMeterView::windowMarkersHoldAndFall()
{
    WindowRig rig;
    rig.store.values[QStringLiteral("MeterWindow/PeakHoldMs")] = QStringLiteral("1000");
    rig.create();
    rig.window->show();
    rig.feed(Reading(200, 2.5));
    rig.feed(Reading(50, 1.2), false, 400);
    rig.window->redrawNow();
    QCOMPARE(rig.window->powerBar().peak(), 200.0);
    QCOMPARE(rig.window->swrBar().peak(), 2.5);
    // An unset SWR does not pull the held marker down.
    rig.feed(Reading(40, 0), false, 400);
    rig.window->redrawNow();
    QCOMPARE(rig.window->swrBar().peak(), 2.5);
    rig.steadyMs += 300;
    rig.window->redrawNow();
    QCOMPARE(rig.window->powerBar().peak(), 40.0);
    QCOMPARE(rig.window->swrBar().peak(), 1.2);
}

void TestMeterView::drawsOnlyOnItsTimerAndNotWhileHidden()
{
    WindowRig rig;
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    const int before = rig.window->barRedraws();
    // A burst of readings between two turns of the event loop draws nothing.
    for (int i = 0; i < 500; ++i)
        rig.feed(Reading(i % 250, 1.5), false, 1);
    QCOMPARE(rig.window->barRedraws(), before);
    // The next redraw tick draws the latest reading, once.
    QTRY_VERIFY(rig.window->barRedraws() > before);
    QCOMPARE(rig.window->powerBar().value(), 499 % 250);
    const int afterBurst = rig.window->barRedraws();
    QTest::qWait(3 * 1000 / MeterWindow::RedrawsPerSecond);
    QCOMPARE(rig.window->barRedraws(), afterBurst); // nothing new, nothing drawn

    rig.window->hide();
    const qsizetype kept = rig.window->history().size();
    const int hiddenRedraws = rig.window->barRedraws();
    const int hiddenCharts = rig.window->chartRedraws();
    for (int i = 0; i < 100; ++i)
        rig.feed(Reading(10, 1.5));
    QTest::qWait(3 * 1000 / MeterWindow::RedrawsPerSecond);
    QCOMPARE(rig.window->barRedraws(), hiddenRedraws);
    QCOMPARE(rig.window->chartRedraws(), hiddenCharts);
    QCOMPARE(rig.window->history().size(), kept + 100);
}

void TestMeterView::saneWithOddReadings()
{
    WindowRig rig;
    rig.window->show();
    const StatusRecord odd[] = {Reading(0, 0, 2), Reading(1e308, 1e308, 0), Reading(-5, -1, 9),
                                Reading(NaN, NaN, NaN), Reading(Inf, Inf, 1)};
    for (const StatusRecord& r : odd) {
        rig.feed(r);
        rig.window->redrawNow();
        const BarMeter& power = rig.window->powerBar();
        const BarMeter& swr = rig.window->swrBar();
        QVERIFY(power.fraction(power.value()) >= 0 && power.fraction(power.value()) <= 1);
        QVERIFY(swr.fraction(swr.value()) >= 0 && swr.fraction(swr.value()) <= 1);
        QVERIFY(std::isfinite(rig.window->chart().powerAxisTop()));
        QVERIFY(rig.window->chart().swrAxisTop() <= ReadingHistory::SwrTop);
        QVERIFY(!rig.window->grab().isNull());
    }
    QVERIFY(rig.window->chart().markedPoints() > 0);
    // Range code 9 and NaN kept the last known scale.
    QCOMPARE(rig.window->powerBar().scale().maximum, 250.0);
}

void TestMeterView::settingsKeptAndRestored()
{
    WindowRig rig;
    rig.window->show();
    rig.window->setGeometry(120, 90, 640, 500);
    rig.window->setHistoryMinutes(15);
    rig.window->setHistoryMinutes(7); // not offered: ignored
    rig.store.saves.clear();
    rig.window->close();
    // One save holding the whole group.
    QCOMPARE(rig.store.saves.size(), 3);
    QCOMPARE(rig.store.values.value("MeterWindow/HistoryMinutes"), "15");
    QCOMPARE(rig.store.values.value("MeterWindow/PeakHoldMs"), "2000");
    QVERIFY(!rig.store.values.value("MeterWindow/Geometry").isEmpty());

    rig.create();
    QCOMPARE(rig.window->historyMinutes(), 15);
    QCOMPARE(rig.window->size(), QSize(640, 500));
}

void TestMeterView::badSettingsReadAsDefaults()
{
    WindowRig rig;
    rig.store.values[QStringLiteral("MeterWindow/HistoryMinutes")] = QStringLiteral("7");
    rig.store.values[QStringLiteral("MeterWindow/PeakHoldMs")] = QStringLiteral("-5");
    rig.store.values[QStringLiteral("MeterWindow/Geometry")] = QStringLiteral("not base 64 !");
    rig.create();
    QCOMPARE(rig.window->historyMinutes(), MeterWindowSettings::HistoryMinutes.defaultValue);
    QCOMPARE(rig.window->peakHoldMs(), 2000);
    QVERIFY(rig.window->width() > 300 && rig.window->height() > 300);
}

QTEST_MAIN(TestMeterView)
#include "tst_meterview.moc"
