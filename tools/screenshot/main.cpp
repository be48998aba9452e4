// vossbridge-screenshot: renders the main window, after a few replies from the
// meter simulator, to a PNG file. Used to make the picture in the README.
#include "DBusHostLink.h"
#include "IniSettingsStore.h"
#include "MeterSimProcess.h"
#include "QtSerialLink.h"
#include "Vossbridge.h"

#include <QApplication>
#include <QMenuBar>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vossbridge-screenshot OUTPUT.png\n");
        return 2;
    }
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);

    MeterSimProcess sim({QStringLiteral("-e"), QStringLiteral("power 87.4"), QStringLiteral("-e"),
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
    QtSerialLink port([&store](int n) { return DeviceForPort(store, n); });
    DBusHostLink host;
    Vossbridge window(store, port, host);

    int accepted = 0;
    QObject::connect(&window, &Vossbridge::tickFinished, &window,
                     [&](TickOutcome o) { accepted += o == TickOutcome::Accepted ? 1 : 0; });
    window.show();
    if (!QTest::qWaitFor([&] { return accepted >= 5; }, 20000)) {
        std::fprintf(stderr, "no replies from the meter simulator\n");
        return 1;
    }
    // Rows A to E, as the Setup style shows them.
    window.resize(window.width(), window.menuBar()->height() + 2805 / TwipsPerPixel);
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "can't write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
