// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterSimProcess.h"
#include "QtSerialLink.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A link whose port 5 is the simulator's line.
std::unique_ptr<QtSerialLink> LinkTo(const QString& device)
{
    auto link = std::make_unique<QtSerialLink>(
        [device](int n) { return n == 5 ? device : QStringLiteral("/dev/vossbridge-none"); });
    link->setPortNumber(5);
    link->setLineSettings(LineSettings{});
    link->setReadLength(0);
    return link;
}

QSerialPort* PortOf(QtSerialLink& link)
{
    return link.findChild<QSerialPort*>();
}
} // namespace

class TestSerialLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pollAndReplyCrossTheLine()
    {
        MeterSimProcess sim({QStringLiteral("-e"), QStringLiteral("power 42")});
        auto link = LinkTo(sim.devicePath());
        QVERIFY(link->open());
        QVERIFY(link->isOpen());
        QCOMPARE(PortOf(*link)->baudRate(), 38400);
        QCOMPARE(PortOf(*link)->parity(), QSerialPort::NoParity);
        QCOMPARE(PortOf(*link)->dataBits(), QSerialPort::Data8);
        QCOMPARE(PortOf(*link)->stopBits(), QSerialPort::OneStop);

        link->write(u";P?");
        QString read;
        QTRY_VERIFY_WITH_TIMEOUT((read += link->readAll()).size() >= 43, 5000);
        QCOMPARE(read.size(), 43);
        QVERIFY(read.startsWith(QStringLiteral(";   42.0,")));
        QTRY_COMPARE(sim.received(), QStringList{QStringLiteral(";P?")});

        // Opening an open port keeps it open.
        QVERIFY(link->open());
        QVERIFY(link->isOpen());
        link->close();
        QVERIFY(!link->isOpen());
        QVERIFY(link->readAll().isEmpty());
    }

    void operationsOnClosedPortAreQuiet()
    {
        auto link = LinkTo(QStringLiteral("/dev/vossbridge-none"));
        QSignalSpy errors(PortOf(*link), &QSerialPort::errorOccurred);
        link->close();
        link->clearTransmitBuffer();
        link->clearReceiveBuffer();
        link->write(u";P?");
        QVERIFY(link->readAll().isEmpty());
        link->close();
        QCOMPARE(errors.count(), 0);
        QCOMPARE(link->state(), QtSerialLink::State::Closed);
    }

    void failedOpenIsReportedWithReason_data()
    {
        QTest::addColumn<int>("port");
        QTest::newRow("no such device") << 3;
        QTest::newRow("port number 0 names no device") << 0;
    }
    void failedOpenIsReportedWithReason()
    {
        QFETCH(int, port);
        auto link = std::make_unique<QtSerialLink>([](int n) {
            return n == 0 ? QString() : QStringLiteral("/dev/vossbridge-none%1").arg(n);
        });
        link->setPortNumber(static_cast<qint16>(port));
        QVERIFY(!link->open());
        QVERIFY(!link->isOpen());
        QVERIFY(!link->errorText().isEmpty());
    }

    void secondOpenOfSameDeviceFails()
    {
        MeterSimProcess sim;
        auto first = LinkTo(sim.devicePath());
        auto second = LinkTo(sim.devicePath());
        QVERIFY(first->open());
        QVERIFY(!second->open());
        QVERIFY(!second->errorText().isEmpty());
    }

    // The far end hanging up must close the port once, and the process must
    // not spin on the dead line afterwards.
    void hangUpClosesPortOnceAndGoesQuiet()
    {
        MeterSimProcess sim;
        auto link = LinkTo(sim.devicePath());
        QVERIFY(link->open());
        QSignalSpy lost(link.get(), &QtSerialLink::lost);
        QSignalSpy errors(PortOf(*link), &QSerialPort::errorOccurred);

        sim.send(QStringLiteral("hangup"));
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
        QVERIFY(!link->isOpen());
        QCOMPARE(link->state(), QtSerialLink::State::Lost);
        QVERIFY(!PortOf(*link)->isOpen());

        // Give a busy loop every chance to show itself: a dead line left open
        // reports thousands of errors in this time.
        QTest::qWait(300);
        link->clearTransmitBuffer();
        link->write(u";P?");
        QVERIFY(link->readAll().isEmpty());
        QTest::qWait(50);
        QVERIFY2(errors.count() <= 3, qPrintable(QString::number(errors.count())));
        QCOMPARE(lost.count(), 1);

        link->close();
        QCOMPARE(link->state(), QtSerialLink::State::Closed);
    }

    // The adapter comes back under the same name: polling resumes by itself,
    // unless the program closed the port meanwhile.
    void lostPortReopensWhenItsDeviceReturns_data()
    {
        QTest::addColumn<bool>("closedByProgram");
        QTest::newRow("left lost") << false;
        QTest::newRow("closed by the program") << true;
    }
    void lostPortReopensWhenItsDeviceReturns()
    {
        QFETCH(bool, closedByProgram);
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("meter"));
        auto first = std::make_unique<MeterSimProcess>(QStringList{"--link", name});
        QVERIFY(!first->devicePath().isEmpty());
        auto link = LinkTo(name);
        QVERIFY(link->open());
        QSignalSpy lost(link.get(), &QtSerialLink::lost);
        QSignalSpy recovered(link.get(), &QtSerialLink::recovered);
        first->send(QStringLiteral("hangup"));
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
        QTRY_VERIFY(!first->isRunning());
        if (closedByProgram)
            link->close();

        MeterSimProcess second({QStringLiteral("--link"), name});
        QVERIFY(!second.devicePath().isEmpty());
        if (closedByProgram) {
            QTest::qWait(3 * QtSerialLink::ReopenIntervalMs);
            QCOMPARE(recovered.count(), 0);
            QVERIFY(!link->isOpen());
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(recovered.count(), 1, 10000);
        QVERIFY(link->isOpen());
        link->write(u";P?");
        QString read;
        QTRY_VERIFY_WITH_TIMEOUT((read += link->readAll()).size() >= 43, 5000);
        QTRY_VERIFY(second.received().contains(QStringLiteral(";P?")));
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
