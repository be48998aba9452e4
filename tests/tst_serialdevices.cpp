// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceIdentity.h"
#include "MeterSimProcess.h"
#include "OpenFailureReason.h"
#include "SerialDeviceList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(DeviceIdentity)
Q_DECLARE_METATYPE(DeviceFacts)
Q_DECLARE_METATYPE(PathCheck::Verdict)

namespace {
DeviceIdentity Identity(const QString& serial, const QString& usb, const QStringList& byId = {})
{
    DeviceIdentity id;
    id.serialNumber = serial;
    id.vendorProduct = usb;
    id.byIdNames = byId;
    return id;
}

DeviceFacts Device(bool mayReadWrite = true)
{
    DeviceFacts f;
    f.kind = DeviceFacts::Kind::CharDevice;
    f.mayReadWrite = mayReadWrite;
    f.groupName = QStringLiteral("dialout");
    f.modeText = QStringLiteral("0660");
    f.byIdDir = QStringLiteral("/dev/serial/by-id");
    return f;
}

DeviceFacts Kind(DeviceFacts::Kind kind, const QStringList& byIdNames = {})
{
    DeviceFacts f = Device();
    f.kind = kind;
    f.byIdNames = byIdNames;
    return f;
}

DeviceFacts Held(const QString& name, const QString& lockFile)
{
    DeviceFacts f = Device();
    f.holders << DeviceHolder{4242, name, lockFile};
    return f;
}

DeviceFacts InGroup(bool inGroup, bool listed)
{
    DeviceFacts f = Device(false);
    f.inGroup = inGroup;
    f.listedInGroup = listed;
    return f;
}

// Runs `check` as user nobody in a child process and returns what it
// printed: tests run as root, whom no file mode stops.
QString AsNobody(const std::function<QString()>& check)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        const bool dropped =
            ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
        const QByteArray text = dropped ? check().toUtf8() : QByteArray("could not drop root");
        const ssize_t written = ::write(out[1], text.constData(), static_cast<size_t>(text.size()));
        ::_exit(written == text.size() ? 0 : 1);
    }
    ::close(out[1]);
    QByteArray text;
    char buffer[1024];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, n);
    ::close(out[0]);
    ::waitpid(child, nullptr, 0);
    return QString::fromUtf8(text);
}
} // namespace

class TestSerialDevices : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // After a loss the port reopens only on a device with the lost one's
    // identity, whatever comes back under its kernel name.
    void identityTellsAdaptersApart_data()
    {
        QTest::addColumn<DeviceIdentity>("lost");
        QTest::addColumn<DeviceIdentity>("found");
        QTest::addColumn<bool>("same");
        const QStringList ftdi{QStringLiteral("usb-FTDI_FT232R_A1B2C3-if00-port0")};
        const QStringList cat{QStringLiteral("usb-Silicon_Labs_CP2102_0001-if00-port0")};
        QTest::newRow("same serial and USB ID")
            << Identity("A1B2C3", "0403:6001") << Identity("A1B2C3", "0403:6001") << true;
        QTest::newRow("same serial, other USB ID")
            << Identity("A1B2C3", "0403:6001") << Identity("A1B2C3", "10c4:ea60") << false;
        QTest::newRow("other serial, same USB ID")
            << Identity("A1B2C3", "0403:6001") << Identity("Z9", "0403:6001") << false;
        QTest::newRow("serial lost, none found")
            << Identity("A1B2C3", "0403:6001") << Identity("", "0403:6001") << false;
        QTest::newRow("no serial, same USB ID and by-id")
            << Identity("", "0403:6001", ftdi) << Identity("", "0403:6001", ftdi) << true;
        QTest::newRow("no serial, same USB ID, other by-id")
            << Identity("", "0403:6001", ftdi) << Identity("", "0403:6001", cat) << false;
        QTest::newRow("no serial, other USB ID")
            << Identity("", "0403:6001") << Identity("", "10c4:ea60") << false;
        QTest::newRow("by-id alone, same")
            << Identity("", "", ftdi) << Identity("", "", ftdi + cat) << true;
        QTest::newRow("by-id alone, other")
            << Identity("", "", ftdi) << Identity("", "", cat) << false;
        QTest::newRow("by-id alone, nothing found")
            << Identity("", "", ftdi) << DeviceIdentity() << false;
        QTest::newRow("no identity matches nothing")
            << DeviceIdentity() << DeviceIdentity() << false;
    }
    void identityTellsAdaptersApart()
    {
        QFETCH(DeviceIdentity, lost);
        QFETCH(DeviceIdentity, found);
        QFETCH(bool, same);
        QCOMPARE(lost.matches(found), same);
    }

    void identityOfListedDevice()
    {
        SerialDevice d;
        d.path = QStringLiteral("/dev/ttyUSB0");
        d.byIdPaths = {QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0")};
        d.manufacturer = QStringLiteral("FTDI");
        d.description = QStringLiteral("FT232R USB UART");
        d.serialNumber = QStringLiteral("A1B2C3");
        d.vendorId = 0x0403;
        d.productId = 0x6001;
        const DeviceIdentity id = IdentityOf(d);
        QCOMPARE(id.vendorProduct, QStringLiteral("0403:6001"));
        QCOMPARE(id.byIdNames, QStringList{QStringLiteral("usb-FTDI_FT232R_A1B2C3-if00-port0")});
        QCOMPARE(id.label, QStringLiteral("FTDI FT232R USB UART A1B2C3"));
    }

    void reasonNamesTheFix_data()
    {
        QTest::addColumn<DeviceFacts>("facts");
        QTest::addColumn<bool>("afterFailedOpen");
        QTest::addColumn<PathCheck::Verdict>("verdict");
        QTest::addColumn<QStringList>("says");
        using V = PathCheck::Verdict;
        using K = DeviceFacts::Kind;
        QTest::newRow("ready") << Device() << false << V::Ready << QStringList{"you may open"};
        QTest::newRow("missing, adapters present")
            << Kind(K::Missing, {"usb-A-if00", "usb-B-if00"}) << false << V::NotADevice
            << QStringList{"No such device", "usb-A-if00, usb-B-if00"};
        QTest::newRow("missing, none present")
            << Kind(K::Missing) << true << V::NotADevice
            << QStringList{"No such device", "No USB serial adapter"};
        QTest::newRow("directory")
            << Kind(K::Directory) << false << V::NotADevice << QStringList{"folder"};
        QTest::newRow("regular file")
            << Kind(K::RegularFile) << false << V::NotADevice << QStringList{"ordinary file"};
        QTest::newRow("fifo") << Kind(K::Other) << false << V::NotADevice
                              << QStringList{"not a character device"};
        QTest::newRow("not in the group")
            << InGroup(false, false) << true << V::WontOpenNow
            << QStringList{"Permission denied", "group dialout", "not in it",
                           "sudo adduser $USER dialout", "log out and in"};
        QTest::newRow("added, not logged in again")
            << InGroup(false, true) << true << V::WontOpenNow
            << QStringList{"Permission denied", "log out and in again"};
        QTest::newRow("in the group, mode closed")
            << InGroup(true, true) << true << V::WontOpenNow
            << QStringList{"Permission denied", "mode 0660", "you are in group dialout"};
        QTest::newRow("lock file owner")
            << Held("minicom", "/run/lock/LCK..ttyUSB0") << false << V::WontOpenNow
            << QStringList{"Device busy", "minicom (process 4242)", "/run/lock/LCK..ttyUSB0"};
        QTest::newRow("brltty") << Held("brltty", "") << false << V::WontOpenNow
                                << QStringList{"brltty", "braille", "sudo apt remove brltty"};
        QTest::newRow("ModemManager")
            << Held("ModemManager", "") << false << V::WontOpenNow
            << QStringList{"ModemManager", "systemctl disable --now ModemManager"};
        QTest::newRow("open elsewhere, before an open")
            << Held("picocom", "") << false << V::Ready << QStringList{"you may open"};
        QTest::newRow("open elsewhere, after a failed open")
            << Held("picocom", "") << true << V::WontOpenNow
            << QStringList{"Device busy", "picocom (process 4242)"};
    }
    void reasonNamesTheFix()
    {
        QFETCH(DeviceFacts, facts);
        QFETCH(bool, afterFailedOpen);
        QFETCH(PathCheck::Verdict, verdict);
        QFETCH(QStringList, says);
        const PathCheck check =
            CheckDeviceFacts(QStringLiteral("/dev/ttyUSB0"), facts, afterFailedOpen);
        QCOMPARE(check.verdict, verdict);
        for (const QString& words : says)
            QVERIFY2(check.reason.contains(words), qPrintable(check.reason));
        QVERIFY(check.reason.contains(QStringLiteral("/dev/ttyUSB0")));
    }

    void emptyPathIsNoDevice()
    {
        const PathCheck check = CheckDeviceFacts(QString(), DeviceFacts(), true);
        QCOMPARE(check.verdict, PathCheck::Verdict::NotADevice);
        QVERIFY(!check.reason.isEmpty());
    }

    // The same reasons from real files: a stand-in by-id folder with a
    // simulator posing as an adapter in it.
    void realPathsGiveTheirReason_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<PathCheck::Verdict>("verdict");
        QTest::addColumn<QString>("says");
        using V = PathCheck::Verdict;
        QTest::newRow("missing lists by-id names")
            << "ttyUSB7" << V::NotADevice << "usb-Sim_Meter_S1-if00-port0";
        QTest::newRow("directory") << "folder" << V::NotADevice << "folder";
        QTest::newRow("regular file") << "file.txt" << V::NotADevice << "ordinary file";
        QTest::newRow("link with spaces to the line") << "my meter" << V::Ready << "you may open";
        QTest::newRow("by-id link")
            << "by-id/usb-Sim_Meter_S1-if00-port0" << V::Ready << "you may open";
    }
    void realPathsGiveTheirReason()
    {
        QFETCH(QString, name);
        QFETCH(PathCheck::Verdict, verdict);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        MeterSimProcess sim({"--by-id-dir", byId, "--by-id-name", "usb-Sim_Meter_S1-if00-port0"});
        QVERIFY(!sim.devicePath().isEmpty());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QFile file(dir.filePath(QStringLiteral("file.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(sim.devicePath(), dir.filePath(QStringLiteral("my meter"))));

        const PathCheck check = CheckDevicePath(dir.filePath(name), SerialDeviceList(byId));
        QCOMPARE(check.verdict, verdict);
        QVERIFY2(check.reason.contains(says), qPrintable(check.reason));
    }

    // A device node closed to the user, checked as an ordinary user.
    void permissionDeniedNamesGroupAndCommand()
    {
        MeterSimProcess sim;
        const QString device = sim.devicePath();
        QVERIFY(!device.isEmpty());
        const group* dialout = ::getgrnam("dialout");
        QVERIFY(dialout);
        QCOMPARE(::chown(QFile::encodeName(device).constData(), 0, dialout->gr_gid), 0);
        QCOMPARE(::chmod(QFile::encodeName(device).constData(), 0660), 0);
        const QString reason = AsNobody([&] {
            const PathCheck check =
                CheckDevicePath(device, SerialDeviceList(QStringLiteral("/nonexistent")));
            return QString::number(int(check.verdict)) + u'|' + check.reason;
        });
        QVERIFY2(reason.startsWith(QString::number(int(PathCheck::Verdict::WontOpenNow)) + u'|'),
                 qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("Permission denied")), qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("group dialout, and you are not in it")),
                 qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("sudo adduser $USER dialout")), qPrintable(reason));
    }

    // The simulator posing as an adapter is found through the stand-in
    // folder, though the system lists no pseudo-terminal; gone with it.
    void standInByIdFolderListsPosingSimulator()
    {
        QTemporaryDir dir;
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        const SerialDeviceList list(byId);
        const QStringList stampBefore = list.stamp();
        SerialDevices devices;
        {
            MeterSimProcess sim(
                {"--by-id-dir", byId, "--by-id-name", "usb-Sim_Meter_S1-if00-port0"});
            QVERIFY(!sim.devicePath().isEmpty());
            devices = list.devices();
            const auto it =
                std::find_if(devices.cbegin(), devices.cend(),
                             [&](const SerialDevice& d) { return d.path == sim.devicePath(); });
            QVERIFY(it != devices.cend());
            QCOMPARE(it->byIdPaths, QStringList{byId + "/usb-Sim_Meter_S1-if00-port0"});
            QCOMPARE(it->preferredPath(), byId + "/usb-Sim_Meter_S1-if00-port0");
            QVERIFY(it->accessible);
            // The dialog lists again only when the stamp changes.
            QVERIFY(list.stamp() != stampBefore);
            QCOMPARE(IdentityOf(sim.devicePath(), list).byIdNames,
                     QStringList{"usb-Sim_Meter_S1-if00-port0"});
            sim.send(QStringLiteral("hangup"));
            QTRY_VERIFY(!sim.isRunning());
        }
        QVERIFY(list.byIdLinks().isEmpty());
        QCOMPARE(list.stamp(), stampBefore);
        devices = list.devices();
        for (const SerialDevice& d : devices)
            QVERIFY(d.byIdPaths.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSerialDevices)
#include "tst_serialdevices.moc"
