// SPDX-License-Identifier: GPL-3.0-or-later
// The Alarm button changing colour on every reply, thousands of times: what
// it takes to draw must not grow with the changes. Each palette the style
// sees under a new cache key gets pixmaps of its own in the style's cache,
// which are never given back, so the count of distinct keys is what grows.
#include "ReadingsDisplay.h"

#include <QApplication>
#include <QProxyStyle>
#include <QSet>
#include <QStyleFactory>
#include <QTest>
#include <malloc.h>

namespace {
constexpr int Changes = 4000;

// Passes the drawing on, noting the palette cache key of each option drawn
// for the one widget watched.
class KeyCountingStyle : public QProxyStyle {
public:
    KeyCountingStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("fusion"))) {}
    const QWidget* watched = nullptr;
    QSet<qint64> keys;

    void drawPrimitive(PrimitiveElement e, const QStyleOption* o, QPainter* p,
                       const QWidget* w) const override
    {
        note(o, w);
        QProxyStyle::drawPrimitive(e, o, p, w);
    }
    void drawControl(ControlElement e, const QStyleOption* o, QPainter* p,
                     const QWidget* w) const override
    {
        note(o, w);
        QProxyStyle::drawControl(e, o, p, w);
    }

private:
    void note(const QStyleOption* o, const QWidget* w) const
    {
        if (w == watched)
            const_cast<KeyCountingStyle*>(this)->keys.insert(o->palette.cacheKey());
    }
};

StatusRecord Reading(double swr)
{
    StatusRecord r;
    r.power = 100;
    r.swr = swr;
    r.alarmSetting = 1;
    return r;
}

qint64 HeapInUse()
{
    return static_cast<qint64>(mallinfo2().uordblks);
}
} // namespace

class TestAlarmColour : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void colourChangesDrawWithoutGrowth_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("SWR 1.00 and 2.00 in turn: colour changes every time") << 1.0 << 2.0;
        QTest::newRow("SWR 1.00 and 1.20: colour stays") << 1.0 << 1.2;
    }
    void colourChangesDrawWithoutGrowth()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QWidget client;
        const MainControls c = BuildMainControls(&client);
        KeyCountingStyle style;
        style.watched = c.alarmButton;
        c.alarmButton->setStyle(&style);
        client.show();
        QVERIFY(QTest::qWaitForWindowExposed(&client));

        StatusRecord record;
        ReadingState state;
        const auto change = [&](int i) {
            record = Reading(i % 2 ? high : low);
            FollowReading(record, state);
            ShowReadings(c, record, state, QLocale::c());
            c.alarmButton->repaint();
        };
        // Warm up: the first drawings fill caches that are then reused.
        for (int i = 0; i < 200; ++i)
            change(i);
        const qsizetype warmKeys = style.keys.size();
        const qint64 warmHeap = HeapInUse();
        for (int i = 0; i < Changes; ++i)
            change(i);

        // A few keys for the button's states; one more per change is the fault.
        QVERIFY2(style.keys.size() - warmKeys <= 2,
                 qPrintable(QStringLiteral("%1 new palette keys in %2 changes")
                                .arg(style.keys.size() - warmKeys)
                                .arg(Changes)));
        // Where the allocator counts (not under AddressSanitizer), the heap
        // may not grow by more than 64 bytes a change either.
        if (warmHeap > 0) {
            const qint64 grown = HeapInUse() - warmHeap;
            QVERIFY2(grown < Changes * 64,
                     qPrintable(QStringLiteral("heap grew %1 bytes").arg(grown)));
        }
        c.alarmButton->setStyle(nullptr);
    }
};

QTEST_MAIN(TestAlarmColour)
#include "tst_alarmcolour.moc"
