// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortMap.h"

#include "PortSettings.h"
#include "SettingTexts.h"

#include <cmath>
#include <limits>

QString DevicePathForPort(int portNumber, const QString& mappedPath)
{
    if (!mappedPath.trimmed().isEmpty())
        return mappedPath.trimmed();
    // Numbers below 1 name no device, so their open fails like a missing port.
    if (portNumber < 1)
        return {};
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
}

QString DeviceForPort(SettingsStore& store, int portNumber)
{
    return DevicePathForPort(portNumber, PortSettings::Device(portNumber).read(store));
}

qint16 PortNumberFromEntry(QStringView entryText)
{
    // nearbyint rounds halves to the even neighbour in the default mode.
    const double n = std::nearbyint(LeadingNumber(entryText.right(2)));
    constexpr double lo = std::numeric_limits<qint16>::min();
    constexpr double hi = std::numeric_limits<qint16>::max();
    return static_cast<qint16>(n < lo ? lo : (n > hi ? hi : n));
}
