// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceIdentity.h"

#include "SerialDeviceList.h"

#include <QFileInfo>

namespace {
bool SharesName(const QStringList& a, const QStringList& b)
{
    for (const QString& name : a) {
        if (b.contains(name))
            return true;
    }
    return false;
}

QString LabelFor(const SerialDevice& device, const QStringList& byIdNames)
{
    QStringList words;
    for (const QString& part : {device.manufacturer, device.description, device.serialNumber}) {
        if (!part.isEmpty() && !words.contains(part))
            words << part;
    }
    if (!words.isEmpty())
        return words.join(u' ');
    if (!byIdNames.isEmpty())
        return byIdNames.first();
    return device.vendorProduct();
}
} // namespace

bool DeviceIdentity::matches(const DeviceIdentity& other) const
{
    if (!serialNumber.isEmpty()) {
        return other.serialNumber == serialNumber &&
               (vendorProduct.isEmpty() || other.vendorProduct.isEmpty() ||
                other.vendorProduct == vendorProduct);
    }
    if (!vendorProduct.isEmpty()) {
        return other.vendorProduct == vendorProduct &&
               (byIdNames.isEmpty() || SharesName(byIdNames, other.byIdNames));
    }
    return SharesName(byIdNames, other.byIdNames);
}

DeviceIdentity IdentityOf(const SerialDevice& device)
{
    DeviceIdentity identity;
    identity.serialNumber = device.serialNumber;
    identity.vendorProduct = device.vendorProduct();
    for (const QString& link : device.byIdPaths)
        identity.byIdNames << link.section(u'/', -1);
    identity.label = LabelFor(device, identity.byIdNames);
    return identity;
}

DeviceIdentity IdentityOf(const QString& path, const SerialDeviceList& list)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const SerialDevices devices = list.mayList(target) ? list.devices() : SerialDevices();
    for (const SerialDevice& device : devices) {
        if (QFileInfo(device.path).canonicalFilePath() == target)
            return IdentityOf(device);
    }
    SerialDevice unlisted;
    unlisted.path = target;
    unlisted.byIdPaths = list.byIdLinksTo(target);
    return IdentityOf(unlisted);
}

bool IsStableLink(const QString& path)
{
    return QFileInfo(path).isSymLink();
}
