#include "DBusHostLink.h"
#include "IniSettingsStore.h"
#include "MainWindow.h"
#include "PortMap.h"
#include "QtSerialLink.h"
#include "TerminationSignals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vossbridge"));
    QApplication::setApplicationName(QStringLiteral("Vossbridge"));

    IniSettingsStore store;
    QtSerialLink port([&store](int n) { return DeviceForPort(store, n); });
    DBusHostLink host;
    MainWindow window(store, port, host);
    QObject::connect(&port, &QtSerialLink::lost, &window, &MainWindow::portLost);
    QObject::connect(&port, &QtSerialLink::recovered, &window, &MainWindow::portRecovered);
    QObject::connect(&host, &DBusHostLink::hostAppeared, &window, &MainWindow::linkHostAgain);
    // Closing the window ends the program at once, whatever else is open.
    QObject::connect(&window, &MainWindow::unloaded, &app, [] { QCoreApplication::exit(0); });
    // SIGINT and SIGTERM close the window the normal way, so the settings are stored.
    TerminationSignals signals;
    QObject::connect(&signals, &TerminationSignals::received, &window, &QWidget::close);
    window.show();
    return QApplication::exec();
}
