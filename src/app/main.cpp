#include "DBusHostLink.h"
#include "IniSettingsStore.h"
#include "QtSerialLink.h"
#include "Vossbridge.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vossbridge"));
    QApplication::setApplicationName(QStringLiteral("Vossbridge"));

    IniSettingsStore store;
    QtSerialLink port([&store](int n) { return DeviceForPort(store, n); });
    DBusHostLink host;
    Vossbridge window(store, port, host);
    QObject::connect(&port, &QtSerialLink::lost, &window, &Vossbridge::PortLost);
    QObject::connect(&host, &DBusHostLink::hostAppeared, &window, &Vossbridge::HostAppeared);
    window.show();
    return QApplication::exec();
}
