// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialDevice.h"

class SerialDeviceList;

// What tells one adapter from another when it comes back after an unplug,
// whatever kernel name it gets then: its USB serial number, its USB vendor
// and product, and the names of its by-id links (file names only, so a
// pseudo-terminal posing as an adapter in a stand-in folder has one too).
struct DeviceIdentity {
    QString serialNumber;
    QString vendorProduct;
    QStringList byIdNames;

    bool isEmpty() const
    {
        return serialNumber.isEmpty() && vendorProduct.isEmpty() && byIdNames.isEmpty();
    }
    // True when `other` is this device: the serial numbers agree (and the
    // vendor and product, where both are known); without a serial number the
    // vendor and product agree and, where this has by-id names, one of them;
    // with by-id names alone, one of them. An empty identity matches nothing.
    bool matches(const DeviceIdentity& other) const;

    // For people, not compared: "FTDI FT232R USB UART A1B2C3", a by-id
    // name, or "0403:6001".
    QString label;
};

// The identity of the device a listed entry describes, with the by-id links
// that lead to it.
DeviceIdentity IdentityOf(const SerialDevice& device);
// The identity of whatever `path` leads to now; empty when it names nothing
// the list knows and no by-id link leads to it.
DeviceIdentity IdentityOf(const QString& path, const SerialDeviceList& list);

// A name someone chose for one device, which follows that device wherever
// the kernel puts it: the path is a symbolic link (a by-id or by-path link,
// a udev rule's SYMLINK, a link the user made), not a device node. A device
// without identity is reopened after a loss only through such a path.
bool IsStableLink(const QString& path);
