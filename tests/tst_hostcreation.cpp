// SPDX-License-Identifier: GPL-3.0-or-later
// Creating the host link against a host that answers its first call late and
// then hangs: the caller's event loop keeps turning all the while, and a host
// too slow for the second it is given leaves the link empty.
#include "DBusHostLink.h"
#include "HostProcess.h"

#include <QSignalSpy>
#include <QTimer>

namespace {
constexpr int PollPeriodMs = 50;
} // namespace

class TestHostCreation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void creationLeavesTheLoopTurning_data()
    {
        QTest::addColumn<int>("firstDelayMs");
        QTest::addColumn<bool>("mayLink");
        // Whether the target's introspection is answered after the first
        // answer depends on which of the host's threads hangs first (Qt may
        // answer it from its D-Bus thread).
        QTest::newRow("first answer at 0.7 s, then nothing") << 700 << true;
        QTest::newRow("first answer at 3 s") << 3000 << false;
    }
    void creationLeavesTheLoopTurning()
    {
        QFETCH(int, firstDelayMs);
        QFETCH(bool, mayLink);
        HostProcess host({QStringLiteral("--hang-after-first"), QStringLiteral("--first-delay"),
                          QString::number(firstDelayMs)});
        QVERIFY(host.waitUntilOnBus());
        DBusHostLink link;
        QSignalSpy tried(&link, &HostLink::linkTried);
        int turns = 0;
        int turnsWhileLinking = -1;
        QTimer tick;
        connect(&tick, &QTimer::timeout, &link, [&] { ++turns; });
        connect(&link, &HostLink::linkTried, &link, [&] { turnsWhileLinking = turns; });
        tick.start(PollPeriodMs);

        link.createLink();
        QCOMPARE(tried.count(), 0);
        QVERIFY(tried.wait(10000));
        // At least a few of the 14 or more ticks the wait spans came.
        QVERIFY2(turnsWhileLinking >= 3, qPrintable(QString::number(turnsWhileLinking)));
        QCOMPARE(tried.count(), 1);
        if (!mayLink) {
            QVERIFY(!link.isLinked());
            QCOMPARE(link.lastError(), QStringLiteral("org.freedesktop.DBus.Error.Timeout"));
        }
    }
};

QTEST_GUILESS_MAIN(TestHostCreation)
#include "tst_hostcreation.moc"
