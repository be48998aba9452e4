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
    Vossbridge window(store, port);
    QObject::connect(&port, &QtSerialLink::lost, &window, &Vossbridge::PortLost);
    window.show();
    return QApplication::exec();
}
