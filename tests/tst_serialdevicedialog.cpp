// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSettingsStore.h"
#include "SerialDeviceDialog.h"
#include "Station.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

Q_DECLARE_METATYPE(SerialDevice)

namespace {
SerialDevice Adapter(const QString& path, const QString& byId, quint16 vendor, quint16 product,
                     bool accessible = true)
{
    SerialDevice d;
    d.path = path;
    if (!byId.isEmpty())
        d.byIdPaths << QStringLiteral("/dev/serial/by-id/") + byId;
    d.vendorId = vendor;
    d.productId = product;
    d.description = vendor ? QStringLiteral("USB UART") : QString();
    d.manufacturer = vendor ? QStringLiteral("FTDI") : QString();
    d.serialNumber = vendor ? QStringLiteral("A1B2C3") : QString();
    d.accessible = accessible;
    return d;
}

// A device list that returns whatever the test puts in `table` now.
SerialDeviceList TableList(const SerialDevices& table)
{
    return SerialDeviceList([&table](const QString&) { return table; },
                            QStringLiteral("/nonexistent/by-id"));
}

QStringList RowTexts(const QTreeWidget* list, int row)
{
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c)
        texts << list->topLevelItem(row)->text(c);
    return texts;
}

QString SelectedKernelName(const QTreeWidget* list)
{
    const QList<QTreeWidgetItem*> rows = list->selectedItems();
    return rows.isEmpty() ? QString() : rows.first()->text(1);
}

void SelectKernelName(QTreeWidget* list, const QString& kernelName)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(1) == kernelName)
            list->setCurrentItem(list->topLevelItem(i));
    }
}

const QString MeterName = QStringLiteral("usb-Sim_Meter_S1-if00-port0");

QStringList PoseAs(const QString& byId, const QString& name)
{
    return {QStringLiteral("--by-id-dir"), byId, QStringLiteral("--by-id-name"), name};
}
} // namespace

class TestSerialDeviceDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listShowsEachDevice_data()
    {
        QTest::addColumn<SerialDevice>("device");
        QTest::addColumn<QStringList>("row");
        QTest::newRow("by-id name present")
            << Adapter("/dev/ttyUSB0", "usb-FTDI_X-if00-port0", 0x0403, 0x6001)
            << QStringList{"usb-FTDI_X-if00-port0",
                           "ttyUSB0",
                           "USB UART",
                           "FTDI",
                           "A1B2C3",
                           "0403:6001",
                           "yes"};
        QTest::newRow("no by-id name")
            << Adapter("/dev/ttyACM0", "", 0x2341, 0x0043)
            << QStringList{"/dev/ttyACM0", "ttyACM0",   "USB UART", "FTDI",
                           "A1B2C3",       "2341:0043", "yes"};
        QTest::newRow("no permission")
            << Adapter("/dev/ttyUSB1", "usb-FTDI_Y-if00-port0", 0x0403, 0x6015, false)
            << QStringList{"usb-FTDI_Y-if00-port0",
                           "ttyUSB1",
                           "USB UART",
                           "FTDI",
                           "A1B2C3",
                           "0403:6015",
                           "no"};
        QTest::newRow("built-in port") << Adapter("/dev/ttyS0", "", 0, 0)
                                       << QStringList{"/dev/ttyS0", "ttyS0", "", "", "", "", "yes"};
    }
    void listShowsEachDevice()
    {
        QFETCH(SerialDevice, device);
        QFETCH(QStringList, row);
        FakeSettingsStore store;
        const SerialDevices table{device};
        SerialDeviceDialog dialog(store, 5, nullptr, TableList(table));
        QCOMPARE(dialog.deviceList()->topLevelItemCount(), 1);
        QCOMPARE(RowTexts(dialog.deviceList(), 0), row);
        QVERIFY(store.saves.isEmpty());
    }

    // Adapters come and go while the dialog is open; the one picked stays
    // picked while it is there.
    void listFollowsPlugAndUnplug()
    {
        FakeSettingsStore store;
        SerialDevices table{Adapter("/dev/ttyUSB1", "usb-B-if00-port0", 0x0403, 0x6001),
                            Adapter("/dev/ttyUSB2", "usb-C-if00-port0", 0x0403, 0x6001)};
        SerialDeviceDialog dialog(store, 5, nullptr, TableList(table));
        SelectKernelName(dialog.deviceList(), QStringLiteral("ttyUSB2"));
        QCOMPARE(dialog.pathField()->text(), QStringLiteral("/dev/serial/by-id/usb-C-if00-port0"));

        table.prepend(Adapter("/dev/ttyUSB0", "usb-A-if00-port0", 0x10c4, 0xea60));
        QTRY_COMPARE(dialog.deviceList()->topLevelItemCount(), 3);
        QCOMPARE(SelectedKernelName(dialog.deviceList()), QStringLiteral("ttyUSB2"));

        table.removeLast();
        QTRY_COMPARE(dialog.deviceList()->topLevelItemCount(), 2);
        QCOMPARE(SelectedKernelName(dialog.deviceList()), QString());
        QCOMPARE(dialog.pathField()->text(), QStringLiteral("/dev/serial/by-id/usb-C-if00-port0"));
        QCOMPARE(dialog.lastCheck().verdict, PathCheck::Verdict::NotADevice);
        QVERIFY(dialog.reasonLabel()->text().contains(QStringLiteral("No such device")));
        QVERIFY(!dialog.choose());
        QVERIFY(store.saves.isEmpty());
    }

    // The mapped device is missing and one adapter is plugged in: it is
    // proposed, and nothing is stored until it is chosen.
    void onlyAdapterIsProposed_data()
    {
        QTest::addColumn<QString>("mapped");
        QTest::addColumn<SerialDevices>("devices");
        QTest::addColumn<QString>("field");
        const SerialDevice a = Adapter("/dev/ttyUSB0", "usb-A-if00-port0", 0x0403, 0x6001);
        const SerialDevice b = Adapter("/dev/ttyUSB1", "", 0x10c4, 0xea60);
        const SerialDevice builtIn = Adapter("/dev/ttyS0", "", 0, 0);
        QTest::newRow("missing, one adapter")
            << "/dev/ttyUSB7" << SerialDevices{builtIn, a} << "/dev/serial/by-id/usb-A-if00-port0";
        QTest::newRow("missing, one adapter without by-id")
            << "/dev/ttyUSB7" << SerialDevices{b} << "/dev/ttyUSB1";
        QTest::newRow("missing, two adapters")
            << "/dev/ttyUSB7" << SerialDevices{a, b} << "/dev/ttyUSB7";
        QTest::newRow("missing, built-in port only")
            << "/dev/ttyUSB7" << SerialDevices{builtIn} << "/dev/ttyUSB7";
        QTest::newRow("present") << "/dev/null" << SerialDevices{a} << "/dev/null";
    }
    void onlyAdapterIsProposed()
    {
        QFETCH(QString, mapped);
        QFETCH(SerialDevices, devices);
        QFETCH(QString, field);
        FakeSettingsStore store;
        store.values[QStringLiteral("Ports/Com5")] = mapped;
        store.saves.clear();
        SerialDeviceDialog dialog(store, 5, nullptr, TableList(devices));
        const bool proposed = field != mapped;
        QCOMPARE(dialog.pathField()->text(), field);
        QCOMPARE(dialog.proposalLabel()->isVisibleTo(&dialog), proposed);
        if (proposed)
            QCOMPARE(dialog.deviceList()->selectedItems().size(), 1);
        QVERIFY(store.saves.isEmpty());
    }

    // What Choose stores, from real paths: a simulator posing as an adapter
    // in a stand-in by-id folder, and things that are no device.
    void chooseStoresOnlyADevice_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // empty: nothing
        QTest::addColumn<QString>("says");
        QTest::newRow("kernel name stores the by-id name")
            << "<pty>"
            << "by-id/" + MeterName << "you may open";
        QTest::newRow("by-id name as typed")
            << "by-id/" + MeterName << "by-id/" + MeterName << "you may open";
        QTest::newRow("link with spaces") << "my meter"
                                          << "my meter"
                                          << "you may open";
        QTest::newRow("folder") << "folder"
                                << ""
                                << "folder";
        QTest::newRow("ordinary file") << "file.txt"
                                       << ""
                                       << "ordinary file";
        QTest::newRow("missing") << "ttyUSB9"
                                 << "" << MeterName;
        QTest::newRow("empty") << ""
                               << ""
                               << "No device path";
    }
    void chooseStoresOnlyADevice()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        MeterSimProcess sim(PoseAs(byId, MeterName));
        QVERIFY(!sim.devicePath().isEmpty());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QFile file(dir.filePath(QStringLiteral("file.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(sim.devicePath(), dir.filePath(QStringLiteral("my meter"))));
        const auto inDir = [&](const QString& name) {
            return name.isEmpty() ? name : name == "<pty>" ? sim.devicePath() : dir.filePath(name);
        };

        FakeSettingsStore store;
        SerialDeviceDialog dialog(store, 5, nullptr, SerialDeviceList(byId));
        QSignalSpy chosen(&dialog, &SerialDeviceDialog::deviceChosen);
        // An empty "Ports" entry maps port 5 to /dev/ttyS4, which is missing
        // here, so the simulator stands proposed in the field.
        dialog.pathField()->clear();
        QTest::keyClicks(dialog.pathField(), inDir(typed));
        dialog.chooseButton()->click();
        QVERIFY2(dialog.reasonLabel()->toolTip().contains(says),
                 qPrintable(dialog.reasonLabel()->toolTip()));
        if (stored.isEmpty()) {
            QVERIFY(store.saves.isEmpty());
            QCOMPARE(chosen.count(), 0);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            return;
        }
        QCOMPARE(store.saves, QStringList{"Ports/Com5=" + inDir(stored)});
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(0).toInt(), 5);
        QCOMPARE(chosen.at(0).at(1).toString(), inDir(stored));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    // Listed and picked, then unplugged before Choose: nothing is stored.
    void deviceGoneBeforeChoose()
    {
        QTemporaryDir dir;
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        MeterSimProcess sim(PoseAs(byId, MeterName));
        QVERIFY(!sim.devicePath().isEmpty());
        FakeSettingsStore store;
        SerialDeviceDialog dialog(store, 5, nullptr, SerialDeviceList(byId));
        SelectKernelName(dialog.deviceList(), sim.devicePath().mid(5));
        QCOMPARE(dialog.pathField()->text(), byId + u'/' + MeterName);
        QCOMPARE(dialog.lastCheck().verdict, PathCheck::Verdict::Ready);

        sim.send(QStringLiteral("hangup"));
        QTRY_VERIFY(!sim.isRunning());
        QVERIFY(!dialog.choose());
        QVERIFY(store.saves.isEmpty());
        QVERIFY(dialog.reasonLabel()->toolTip().contains(QStringLiteral("No such device")));
    }

    void mappedOrdinaryFileShowsItsReason()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("Vossbridge.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        FakeSettingsStore store;
        store.values[QStringLiteral("Ports/Com5")] = file.fileName();
        SerialDeviceDialog dialog(store, 5, nullptr, TableList({}));
        QCOMPARE(dialog.pathField()->text(), file.fileName());
        QVERIFY(dialog.reasonLabel()->toolTip().contains(QStringLiteral("ordinary file")));
        QVERIFY(!dialog.choose());
        QVERIFY(store.saves.isEmpty());
    }

    // End to end with the real window: the dialog opens over a port that
    // polls one simulator (or has lost it); choosing another, posing as an
    // adapter, and activating as the Tools menu does moves polling to it.
    void chosenDevicePollsInTheWindow_data()
    {
        QTest::addColumn<bool>("lostFirst");
        QTest::addColumn<bool>("choose");
        QTest::newRow("chosen while another polls") << false << true;
        QTest::newRow("chosen while the port is lost") << true << true;
        QTest::newRow("cancelled while another polls") << false << false;
    }
    void chosenDevicePollsInTheWindow()
    {
        QFETCH(bool, lostFirst);
        QFETCH(bool, choose);
        QTemporaryDir dir;
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        Station station(50);
        QStringList messages;
        station.window->showMessage = [&](const QString& text, const QString&) {
            messages << text;
        };
        QVERIFY(station.reachSteadyState());
        MeterSimProcess adapter(PoseAs(byId, MeterName));
        QVERIFY(!adapter.devicePath().isEmpty());
        const QString before = station.store.read(QStringLiteral("Ports"), QStringLiteral("Com5"));
        if (lostFirst) {
            station.sim.send(QStringLiteral("hangup"));
            QTRY_VERIFY(station.window->windowTitle().contains(QStringLiteral("port lost")));
        }

        SerialDeviceDialog dialog(station.store, 5, station.window.get(), SerialDeviceList(byId));
        QObject::connect(&dialog, &SerialDeviceDialog::deviceChosen, station.window.get(),
                         &MainWindow::activate);
        dialog.show();
        // The dialog leaves the port as it is until something is chosen.
        if (!lostFirst) {
            // Listing the devices once as the dialog opens may cost a reply.
            station.pollsOn(3);
            QVERIFY(station.pollsOn(20));
        }
        SelectKernelName(dialog.deviceList(), adapter.devicePath().mid(5));
        if (!choose) {
            dialog.reject();
            QVERIFY(station.pollsOn(20));
            QCOMPARE(station.store.read(QStringLiteral("Ports"), QStringLiteral("Com5")), before);
            QVERIFY(adapter.received().isEmpty());
            return;
        }
        dialog.chooseButton()->click();
        QCOMPARE(station.store.read(QStringLiteral("Ports"), QStringLiteral("Com5")),
                 byId + u'/' + MeterName);
        QVERIFY(station.pollsOn(10));
        QTRY_VERIFY(adapter.received().count(QStringLiteral(";P?")) >= 10);
        QVERIFY(!station.window->windowTitle().contains(QStringLiteral("port lost")));
        QVERIFY(messages.isEmpty());
        if (!lostFirst) {
            // The old line hears no more polls.
            const qsizetype heard = station.sim.received().size();
            QVERIFY(station.pollsOn(20));
            QCOMPARE(station.sim.received().size(), heard);
        }
    }
};

QTEST_MAIN(TestSerialDeviceDialog)
#include "tst_serialdevicedialog.moc"
