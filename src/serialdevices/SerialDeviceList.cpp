// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialDeviceList.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSerialPortInfo>
#include <algorithm>
#include <unistd.h>

namespace {
// Links in the by-id folder by the file they lead to.
QMap<QString, QStringList> LinksByTarget(const QString& byIdDir)
{
    QMap<QString, QStringList> links;
    const QDir dir(byIdDir);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        // A dangling link leads nowhere: its device is gone.
        const QString target = entry.canonicalFilePath();
        if (!target.isEmpty())
            links[target] << entry.absoluteFilePath();
    }
    return links;
}
} // namespace

bool MayReadWrite(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}

QString PathToStore(const QString& path, const SerialDeviceList& list)
{
    if (QFileInfo(path).isSymLink())
        return path;
    const QStringList links = list.byIdLinksTo(path);
    return links.isEmpty() ? path : links.first();
}

SerialDeviceList::SerialDeviceList(QString byIdDir)
    : SerialDeviceList(&SerialDeviceList::systemDevices, std::move(byIdDir),
                       &SerialDeviceList::systemStamp)
{
    system_ = true;
}

bool SerialDeviceList::mayList(const QString& canonicalPath) const
{
    // The system lists the terminals sysfs knows, each under its /dev name.
    return !system_ ||
           QFileInfo::exists(QStringLiteral("/sys/class/tty/") + canonicalPath.section(u'/', -1));
}

SerialDeviceList::SerialDeviceList(Source source, QString byIdDir, Stamp stamp)
    : source_(std::move(source)), byIdDir_(std::move(byIdDir)), stamp_(std::move(stamp))
{
}

QStringList SerialDeviceList::systemStamp(const QString& byIdDir)
{
    // Plugging an adapter in or out adds or removes its node in /dev.
    QStringList stamp = QDir(QStringLiteral("/dev")).entryList(QDir::System | QDir::NoDotAndDotDot);
    stamp << QStringLiteral("|");
    const QMap<QString, QStringList> links = LinksByTarget(byIdDir);
    for (auto it = links.cbegin(); it != links.cend(); ++it)
        stamp << it.key() + u'<' + it.value().join(u' ');
    return stamp;
}

QStringList SerialDeviceList::byIdLinks() const
{
    QStringList all;
    const QMap<QString, QStringList> links = LinksByTarget(byIdDir_);
    for (const QStringList& names : links)
        all << names;
    std::sort(all.begin(), all.end());
    return all;
}

QStringList SerialDeviceList::byIdLinksTo(const QString& path) const
{
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return {};
    return LinksByTarget(byIdDir_).value(target);
}

SerialDevices SerialDeviceList::systemDevices(const QString& byIdDir)
{
    QMap<QString, QStringList> links = LinksByTarget(byIdDir);
    SerialDevices devices;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        SerialDevice d;
        d.path = info.systemLocation();
        d.byIdPaths = links.take(QFileInfo(d.path).canonicalFilePath());
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        d.serialNumber = info.serialNumber();
        d.vendorId = info.hasVendorIdentifier() ? info.vendorIdentifier() : 0;
        d.productId = info.hasProductIdentifier() ? info.productIdentifier() : 0;
        d.accessible = MayReadWrite(d.path);
        devices << d;
    }
    // The system does not list pseudo-terminals, but a link in the by-id
    // folder that leads to one makes it a device like any adapter.
    for (auto it = links.cbegin(); it != links.cend(); ++it) {
        SerialDevice d;
        d.path = it.key();
        d.byIdPaths = it.value();
        d.accessible = MayReadWrite(d.path);
        devices << d;
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
    return devices;
}
