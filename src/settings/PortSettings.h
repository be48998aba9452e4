// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingKey.h"

// Group "Ports": the device each port number opens, for example
// "Com5" = "/dev/serial/by-id/usb-FTDI_...-if00-port0". Empty: the
// system's own serial port of that number.
namespace PortSettings {
inline const QString Group = QStringLiteral("Ports");

inline SettingKey<QString> Device(int portNumber)
{
    return {Group,
            QStringLiteral("Com%1").arg(portNumber),
            QString(),
            TrimmedText,
            PlainText,
            nullptr,
            QStringLiteral("a device path, or empty for /dev/ttyS%1").arg(portNumber - 1)};
}
} // namespace PortSettings
