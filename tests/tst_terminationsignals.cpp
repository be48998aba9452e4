// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminationSignals.h"

#include <QSignalSpy>
#include <QTest>
#include <cerrno>
#include <csignal>

class TestTerminationSignals : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Signals that arrive faster than the event loop takes them fill the
    // handler's socket; the handler must neither block nor change errno for
    // the code it interrupted.
    void handlerKeepsErrnoAndNeverBlocks()
    {
        TerminationSignals signals;
        QSignalSpy received(&signals, &TerminationSignals::received);
        for (int i = 0; i < 5000; ++i) {
            errno = ENOTTY;
            std::raise(SIGTERM);
            QCOMPARE(errno, ENOTTY);
        }
        QTRY_VERIFY(!received.isEmpty());
        QCOMPARE(received.first().first().toInt(), SIGTERM);
    }
};

QTEST_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
