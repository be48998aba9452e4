// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialDevice.h"

QString SerialDevice::kernelName() const
{
    // Pseudo-terminals are numbered inside /dev/pts: "pts/3", not "3".
    return path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path.section(u'/', -1);
}

QString SerialDevice::vendorProduct() const
{
    if (!isUsb())
        return {};
    return QStringLiteral("%1:%2")
        .arg(vendorId, 4, 16, QLatin1Char('0'))
        .arg(productId, 4, 16, QLatin1Char('0'));
}
