#include "PortMap.h"

QString PortMappingKey(int portNumber)
{
    return QStringLiteral("Com%1").arg(portNumber);
}

QString DevicePathForPort(int portNumber, const QString& mappedPath)
{
    if (!mappedPath.trimmed().isEmpty())
        return mappedPath.trimmed();
    // Numbers below 1 name no device, so their open fails like a missing port.
    if (portNumber < 1)
        return {};
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
}
