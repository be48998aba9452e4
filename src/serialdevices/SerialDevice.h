// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Where the system keeps a stable name per USB serial adapter, made from its
// maker, model and serial number.
inline const QString DefaultByIdDir = QStringLiteral("/dev/serial/by-id");

// One serial device as the system lists it.
struct SerialDevice {
    // The device node, for example "/dev/ttyUSB0".
    QString path;
    // Links in the by-id folder that lead to the node, full paths, sorted.
    QStringList byIdPaths;
    QString description;
    QString manufacturer;
    QString serialNumber;
    // 0 where the device is not on USB.
    quint16 vendorId = 0;
    quint16 productId = 0;
    // This user may read and write it.
    bool accessible = false;

    // "ttyUSB0", "pts/3".
    QString kernelName() const;
    // "0403:6001", empty where the device is not on USB.
    QString vendorProduct() const;
    bool isUsb() const { return vendorId != 0 || productId != 0; }
    // The name to store for it: its first by-id link where there is one.
    QString preferredPath() const { return byIdPaths.isEmpty() ? path : byIdPaths.first(); }

    bool operator==(const SerialDevice&) const = default;
};

using SerialDevices = QList<SerialDevice>;
