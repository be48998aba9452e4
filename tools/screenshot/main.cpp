// SPDX-License-Identifier: GPL-3.0-or-later
// vossbridge-screenshot: renders the main window, after a few replies from the
// meter simulator, the About dialog, the help window and the Serial Device
// dialog to PNG files in a folder, and the 48 px icon to its icons/ subfolder. Used to make the
// pictures in the README and docs/.
#include "AppIcon.h"
#include "IniSettingsStore.h"
#include "MainWindow.h"
#include "MeterSimProcess.h"
#include "ProgramParts.h"
#include "RealLinks.h"
#include "SerialDeviceDialog.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

namespace {
bool SaveSerialDeviceDialog(SettingsStore& store, QWidget& window, const QString& byId,
                            const std::function<bool(QWidget*, const char*)>& save)
{
    MeterSimProcess other({QStringLiteral("--by-id-dir"), byId, QStringLiteral("--by-id-name"),
                           QStringLiteral("usb-Silicon_Labs_CP2102_USB_to_UART_0001-if00-port0")});
    if (other.devicePath().isEmpty()) {
        std::fprintf(stderr, "the second meter simulator did not start\n");
        return false;
    }
    SerialDeviceDialog dialog(store, 5, &window, SerialDeviceList(byId));
    dialog.show();
    QApplication::processEvents();
    return save(&dialog, "serial-device.png");
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vossbridge-screenshot FOLDER\n");
        return 2;
    }
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);

    // The meter's line and a second line pose as USB adapters in a folder
    // standing in for /dev/serial/by-id, for the Serial Device dialog.
    QTemporaryDir byIdParent;
    const QString byId = byIdParent.filePath(QStringLiteral("by-id"));
    MeterSimProcess sim({QStringLiteral("--by-id-dir"), byId, QStringLiteral("--by-id-name"),
                         QStringLiteral("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"),
                         QStringLiteral("-e"), QStringLiteral("power 87.4"), QStringLiteral("-e"),
                         QStringLiteral("swr 1.35"), QStringLiteral("-e"),
                         QStringLiteral("impedance 48.6"), QStringLiteral("-e"),
                         QStringLiteral("phase -12.5"), QStringLiteral("-e"),
                         QStringLiteral("alarm 2"), QStringLiteral("-e"), QStringLiteral("peak 1"),
                         QStringLiteral("-e"), QStringLiteral("gate 40")});
    if (sim.devicePath().isEmpty()) {
        std::fprintf(stderr, "the meter simulator did not start\n");
        return 1;
    }
    IniSettingsStore store;
    store.save(QStringLiteral("Ports"), QStringLiteral("Com5"), sim.devicePath());
    store.save(QStringLiteral("StartUp"), QStringLiteral("Pollrate"), QStringLiteral("80"));
    RealLinks real(store);
    ProgramParts parts(store, real.port, real.host);
    MainWindow window(store, parts.run);

    int accepted = 0;
    QObject::connect(&window, &MainWindow::tickFinished, &window,
                     [&](TickOutcome o) { accepted += o == TickOutcome::Accepted ? 1 : 0; });
    window.show();
    if (!QTest::qWaitFor([&] { return accepted >= 5; }, 20000)) {
        std::fprintf(stderr, "no replies from the meter simulator\n");
        return 1;
    }
    // A first run opens in the Setup style, which shows every row of readings.
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const auto save = [&folder](QWidget* widget, const char* name) {
        const QString path = folder.filePath(QString::fromLatin1(name));
        if (widget->grab().save(path))
            return true;
        std::fprintf(stderr, "can't write %s\n", qPrintable(path));
        return false;
    };
    if (!save(&window, "screenshot.png"))
        return 1;
    if (!folder.mkpath(QStringLiteral("icons")) ||
        !PaintAppIcon(48).save(
            folder.filePath(QStringLiteral("icons/org.vossbridge.Vossbridge-48.png")))) {
        std::fprintf(stderr, "can't write the icon\n");
        return 1;
    }

    window.showAbout();
    QApplication::processEvents();
    if (!save(window.aboutDialog(), "about.png"))
        return 1;

    window.showHelpIndex();
    window.helpWindow()->resize(560, 420);
    QApplication::processEvents();
    if (!save(window.helpWindow(), "help.png"))
        return 1;
    return SaveSerialDeviceDialog(store, window, byId, save) ? 0 : 1;
}
