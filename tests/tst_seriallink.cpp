// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterSimProcess.h"
#include "PollCycle.h"
#include "PosixSerialLink.h"
#include "PtyPair.h"

#include <QDir>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// A link whose port 5 is the simulator's line.
std::unique_ptr<PosixSerialLink> LinkTo(const QString& device)
{
    auto link = std::make_unique<PosixSerialLink>(
        [device](int n) { return n == 5 ? device : QStringLiteral("/dev/vossbridge-none"); });
    link->setPortNumber(5);
    link->setLineSettings(LineSettings{});
    link->setReadLength(0);
    return link;
}

// The descriptors this process holds on `device`.
int HeldOpen(const QString& device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    int held = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot))
        held += QFileInfo(fds.filePath(fd)).symLinkTarget() == target ? 1 : 0;
    return held;
}

// Runs `work` in a child process, as user nobody when `asNobody` (tests run
// as root, whom no file mode stops); `ready` hears what it wrote first, then
// the child waits until `ready` returns. Returns what the child wrote.
QString InChild(bool asNobody, const std::function<QString()>& work,
                const std::function<void(const QString&, pid_t)>& ready = {})
{
    int out[2];
    int hold[2];
    if (::pipe(out) != 0 || ::pipe(hold) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        ::close(hold[1]);
        const bool dropped = !asNobody || (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 &&
                                           ::setuid(65534) == 0);
        const QByteArray text = dropped ? work().toUtf8() + '\n' : QByteArray("not dropped\n");
        const ssize_t written = ::write(out[1], text.constData(), static_cast<size_t>(text.size()));
        ::close(out[1]);
        char c;
        while (::read(hold[0], &c, 1) > 0) {
        }
        ::_exit(written == text.size() ? 0 : 1);
    }
    ::close(out[1]);
    ::close(hold[0]);
    QByteArray text;
    char buffer[1024];
    ssize_t n;
    while (!text.contains('\n') && (n = ::read(out[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, n);
    const QString said = QString::fromUtf8(text).trimmed();
    if (ready)
        ready(said, child);
    ::close(hold[1]);
    ::close(out[0]);
    ::waitpid(child, nullptr, 0);
    return said;
}

// A link on `device` that looks up identities in the by-id folder `byId`.
std::unique_ptr<PosixSerialLink> LinkWithByIdDir(const QString& device, const QString& byId)
{
    auto link = LinkTo(device);
    link->setDeviceList(SerialDeviceList(byId));
    return link;
}

QStringList PoseAs(const QString& kernelName, const QString& byId, const QString& byIdName)
{
    return {QStringLiteral("--link"),       kernelName, QStringLiteral("--by-id-dir"), byId,
            QStringLiteral("--by-id-name"), byIdName};
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
        QCOMPARE(link->lineInUse(), QStringLiteral("38400,n,8,1"));

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

    // What the meter sent by each tick, and what each tick made of it: one
    // read takes what is pending, whole or not, and leaves nothing behind.
    void readAtTheTickTakesWhatIsPending_data()
    {
        QTest::addColumn<QStringList>("sentBeforeTick");
        QTest::addColumn<QString>("outcomes");
        const QString reply = QStringLiteral(";  100.0, 50.0,  0.0,2,  HF  ,0,0,  20,1.20");
        QTest::newRow("a reply each tick") << QStringList{reply, reply} << "AA";
        QTest::newRow("a reply split between two ticks")
            << QStringList{reply.left(20), reply.mid(20), reply} << "RRA";
        QTest::newRow("nothing, then a reply") << QStringList{QString(), reply} << "RA";
        QTest::newRow("two replies at one tick") << QStringList{reply + reply, reply} << "RA";
    }
    void readAtTheTickTakesWhatIsPending()
    {
        QFETCH(QStringList, sentBeforeTick);
        QFETCH(QString, outcomes);
        PtyPair meter;
        auto link = LinkTo(meter.devicePath());
        QVERIFY(link->open());
        PollCycle cycle;
        PendingCommands pending;
        QString seen;
        for (const QString& piece : sentBeforeTick) {
            QVERIFY(meter.send(piece.toLatin1()));
            const TickOutcome o = cycle.tick(*link, pending, {});
            seen += o == TickOutcome::Accepted ? u'A' : u'R';
            // Taken as the meter does, before the next tick's clear.
            meter.received();
        }
        QCOMPARE(seen, outcomes);
        QCOMPARE(meter.received(), QByteArray(";P?").repeated(sentBeforeTick.size()));
    }

    // The meter's end hangs up between the poll and the read, with or
    // without part of a reply on the line: the hang-up takes what was on the
    // line with it, the tick's read finds the loss, once, and the port closes.
    void lineLostMidTick_data()
    {
        QTest::addColumn<QByteArray>("sentFirst");
        QTest::newRow("nothing on the line") << QByteArray();
        QTest::newRow("half a reply on the line") << QByteArray(";  100.0, 50.0,");
    }
    void lineLostMidTick()
    {
        QFETCH(QByteArray, sentFirst);
        PtyPair meter;
        auto link = LinkTo(meter.devicePath());
        QVERIFY(link->open());
        QSignalSpy lost(link.get(), &SerialLink::lost);
        link->write(u";P?");
        QVERIFY(meter.send(sentFirst));
        meter.hangUp();
        QVERIFY(link->readAll().isEmpty());
        QCOMPARE(lost.count(), 1);
        QVERIFY(lost.at(0).at(0).toString().contains(QStringLiteral("hung up")));
        QCOMPARE(link->state(), PosixSerialLink::State::Lost);
        link->write(u";P?");
        QVERIFY(link->readAll().isEmpty());
        QCOMPARE(lost.count(), 1);
    }

    // Another user's program has the line with exclusive use and no lock
    // file: the kernel refuses the open (only root passes, so the opener
    // here runs as nobody).
    void exclusiveUseRefusesASecondOpener()
    {
        PtyPair meter;
        const QString device = meter.devicePath();
        QCOMPARE(::chmod(QFile::encodeName(device).constData(), 0666), 0);
        auto link = LinkTo(device);
        QVERIFY(link->open());
        // The lock file is this process's; without it only exclusive use stops
        // the other opener.
        const QString lock = QStringLiteral("/run/lock/LCK..") + device.mid(5).replace(u'/', u'_');
        QVERIFY(QFile::exists(lock));
        QVERIFY(QFile::rename(lock, lock + QStringLiteral(".away")));
        const QString reason = InChild(true, [&] {
            PosixSerialLink other([device](int) { return device; });
            return other.open() ? QStringLiteral("opened") : other.errorText();
        });
        QVERIFY(QFile::rename(lock + QStringLiteral(".away"), lock));
        QVERIFY2(reason.contains(QStringLiteral("Device or resource busy")) ||
                     reason.startsWith(QStringLiteral("Device busy")),
                 qPrintable(reason));
    }

    void operationsOnClosedPortAreQuiet()
    {
        auto link = LinkTo(QStringLiteral("/dev/vossbridge-none"));
        QSignalSpy lost(link.get(), &SerialLink::lost);
        link->close();
        link->clearTransmitBuffer();
        link->clearReceiveBuffer();
        link->write(u";P?");
        QVERIFY(link->readAll().isEmpty());
        link->close();
        QCOMPARE(lost.count(), 0);
        QCOMPARE(link->state(), PosixSerialLink::State::Closed);
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
        auto link = std::make_unique<PosixSerialLink>([](int n) {
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

    // The far end hanging up must close the port once, found by the next
    // read, and the line must not be touched afterwards.
    void hangUpClosesPortOnceAndGoesQuiet()
    {
        MeterSimProcess sim;
        auto link = LinkTo(sim.devicePath());
        QVERIFY(link->open());
        QCOMPARE(HeldOpen(sim.devicePath()), 1);
        QSignalSpy lost(link.get(), &PosixSerialLink::lost);

        sim.send(QStringLiteral("hangup"));
        QTRY_VERIFY(!sim.isRunning());
        // Nothing watches the line between reads.
        QCOMPARE(lost.count(), 0);
        QVERIFY(link->readAll().isEmpty());
        QCOMPARE(lost.count(), 1);
        QVERIFY(!link->isOpen());
        QCOMPARE(link->state(), PosixSerialLink::State::Lost);
        QCOMPARE(HeldOpen(sim.devicePath()), 0);

        link->clearTransmitBuffer();
        link->write(u";P?");
        QVERIFY(link->readAll().isEmpty());
        QCOMPARE(lost.count(), 1);

        link->close();
        QCOMPARE(link->state(), PosixSerialLink::State::Closed);
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
        QSignalSpy lost(link.get(), &PosixSerialLink::lost);
        QSignalSpy recovered(link.get(), &PosixSerialLink::recovered);
        first->send(QStringLiteral("hangup"));
        QTRY_COMPARE_WITH_TIMEOUT((link->readAll(), lost.count()), 1, 5000);
        QTRY_VERIFY(!first->isRunning());
        if (closedByProgram)
            link->close();

        MeterSimProcess second({QStringLiteral("--link"), name});
        QVERIFY(!second.devicePath().isEmpty());
        if (closedByProgram) {
            QTest::qWait(3 * PosixSerialLink::ReopenIntervalMs);
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

    // The port list's tooltip carries this: it must name what is wrong.
    void failedOpenNamesTheFix_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("says");
        QTest::newRow("missing, with the adapters present")
            << "ttyUSB0" << QStringList{"No such device", "ttyUSB0", "usb-Sim_Meter_S1-if00-port0"};
        QTest::newRow("a folder") << "folder" << QStringList{"folder, not a serial device"};
        QTest::newRow("an ordinary file") << "file.txt" << QStringList{"ordinary file"};
        QTest::newRow("path with spaces, missing")
            << "my meter" << QStringList{"No such device", "my meter"};
    }
    void failedOpenNamesTheFix()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, says);
        QTemporaryDir dir;
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        MeterSimProcess sim(PoseAs(dir.filePath("posing"), byId, "usb-Sim_Meter_S1-if00-port0"));
        QVERIFY(!sim.devicePath().isEmpty());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QFile file(dir.filePath(QStringLiteral("file.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        auto link = LinkWithByIdDir(dir.filePath(name), byId);
        QVERIFY(!link->open());
        for (const QString& words : says)
            QVERIFY2(link->errorText().contains(words), qPrintable(link->errorText()));
    }

    void permissionDeniedNamesGroupAndFix()
    {
        MeterSimProcess sim;
        const QString device = sim.devicePath();
        QVERIFY(!device.isEmpty());
        const group* dialout = ::getgrnam("dialout");
        QVERIFY(dialout);
        QCOMPARE(::chown(QFile::encodeName(device).constData(), 0, dialout->gr_gid), 0);
        QCOMPARE(::chmod(QFile::encodeName(device).constData(), 0660), 0);
        const QString reason = InChild(true, [&] {
            auto link = LinkTo(device);
            return link->open() ? QStringLiteral("opened") : link->errorText();
        });
        QVERIFY2(reason.startsWith(QStringLiteral("Permission denied: ") + device),
                 qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("sudo adduser $USER dialout")), qPrintable(reason));
    }

    // Another program has the line open with its lock file: the reason
    // names it, and the port opens once it has let go.
    void busyNamesTheHolder()
    {
        MeterSimProcess sim;
        const QString device = sim.devicePath();
        QVERIFY(!device.isEmpty());
        QString reason;
        bool openedAfter = false;
        const QString held = InChild(
            false,
            [&] {
                // Leaked on purpose: the child ends with _exit.
                auto* port = new QSerialPort(device);
                return port->open(QIODevice::ReadWrite) ? QStringLiteral("held")
                                                        : port->errorString();
            },
            [&](const QString&, pid_t holder) {
                auto link = LinkTo(device);
                if (!link->open())
                    reason = link->errorText() + QStringLiteral(" |pid %1").arg(holder);
            });
        QCOMPARE(held, QStringLiteral("held"));
        const QString pid = reason.section(QStringLiteral(" |pid "), 1);
        QVERIFY2(reason.startsWith(QStringLiteral("Device busy: ") + device), qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("(process %1)").arg(pid)), qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("lock file")), qPrintable(reason));
        auto link = LinkTo(device);
        openedAfter = link->open();
        QVERIFY2(openedAfter, qPrintable(link->errorText()));
    }

    // The user picks another device for the port while it polls or while it
    // is lost: the next open moves to it.
    void changedDeviceMovesAnOpenPort_data()
    {
        QTest::addColumn<bool>("lostFirst");
        QTest::newRow("while the old one polls") << false;
        QTest::newRow("while the port is lost") << true;
    }
    void changedDeviceMovesAnOpenPort()
    {
        QFETCH(bool, lostFirst);
        MeterSimProcess first;
        MeterSimProcess second;
        QString device = first.devicePath();
        QVERIFY(!second.devicePath().isEmpty());
        PosixSerialLink link([&device](int) { return device; });
        link.setPortNumber(5);
        QVERIFY(link.open());
        QSignalSpy lost(&link, &PosixSerialLink::lost);
        if (lostFirst) {
            first.send(QStringLiteral("hangup"));
            QTRY_COMPARE_WITH_TIMEOUT((link.readAll(), lost.count()), 1, 5000);
            QVERIFY(!link.waitingFor().isEmpty());
        }
        device = second.devicePath();
        QVERIFY(link.open());
        QVERIFY(link.waitingFor().isEmpty());
        link.write(u";P?");
        QTRY_VERIFY(second.received().contains(QStringLiteral(";P?")));
        if (!lostFirst)
            QVERIFY(first.received().isEmpty());
    }

    // After a loss only the same adapter reopens the port, whichever comes
    // back under its kernel name first: two simulators posing as different
    // adapters, each in turn under one name.
    void lostPortReopensOnlyOnSameDevice_data()
    {
        QTest::addColumn<QString>("comesBack");
        QTest::addColumn<bool>("reopens");
        QTest::newRow("the same adapter") << "usb-FTDI_FT232R_A1B2C3-if00-port0" << true;
        QTest::newRow("another adapter under its name") << "usb-Yaesu_CAT_Z9-if00-port0" << false;
    }
    void lostPortReopensOnlyOnSameDevice()
    {
        QFETCH(QString, comesBack);
        QFETCH(bool, reopens);
        const QString meter = QStringLiteral("usb-FTDI_FT232R_A1B2C3-if00-port0");
        QTemporaryDir dir;
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        const QString kernelName = dir.filePath(QStringLiteral("ttyUSB0"));
        auto first = std::make_unique<MeterSimProcess>(PoseAs(kernelName, byId, meter));
        QVERIFY(!first->devicePath().isEmpty());
        auto link = LinkWithByIdDir(kernelName, byId);
        QVERIFY(link->open());
        QCOMPARE(link->openedIdentity().byIdNames, QStringList{meter});
        QSignalSpy lost(link.get(), &PosixSerialLink::lost);
        QSignalSpy recovered(link.get(), &PosixSerialLink::recovered);
        first->send(QStringLiteral("hangup"));
        QTRY_COMPARE_WITH_TIMEOUT((link->readAll(), lost.count()), 1, 5000);
        QTRY_VERIFY(!first->isRunning());
        QCOMPARE(link->waitingFor(), QStringLiteral("waiting for ") + meter);

        auto other = std::make_unique<MeterSimProcess>(PoseAs(kernelName, byId, comesBack));
        QVERIFY(!other->devicePath().isEmpty());
        if (reopens) {
            QTRY_COMPARE_WITH_TIMEOUT(recovered.count(), 1, 10000);
            link->write(u";P?");
            QTRY_VERIFY(other->received().contains(QStringLiteral(";P?")));
            return;
        }
        // Count the link's own tries rather than trusting the clock.
        auto* reopenTimer = link->findChild<QTimer*>(QStringLiteral("reopenTimer"));
        QVERIFY(reopenTimer && reopenTimer->isActive());
        QSignalSpy tries(reopenTimer, &QTimer::timeout);
        QTRY_VERIFY_WITH_TIMEOUT(tries.count() >= 3, 15000);
        QCOMPARE(recovered.count(), 0);
        QVERIFY(!link->isOpen());
        QVERIFY(other->received().isEmpty());
        QCOMPARE(link->waitingFor(), QStringLiteral("waiting for ") + meter);

        // The meter's own adapter plugged in again under that name is taken.
        other->send(QStringLiteral("hangup"));
        QTRY_VERIFY(!other->isRunning());
        MeterSimProcess again(PoseAs(kernelName, byId, meter));
        QVERIFY(!again.devicePath().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(recovered.count(), 1, 10000);
        QVERIFY(link->isOpen());
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
