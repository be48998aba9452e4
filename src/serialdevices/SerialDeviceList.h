// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialDevice.h"

#include <functional>

// The serial devices present now, each with its stable by-id names. The by-id
// folder is a parameter so that tests and the demo can stand a folder of
// their own in for /dev/serial/by-id; tests can also hand in a table of
// devices in place of the system's.
class SerialDeviceList {
public:
    using Source = std::function<SerialDevices(const QString& byIdDir)>;
    // Something cheap that changes whenever the devices may have: listing
    // them asks udev and takes tens of milliseconds, too long to repeat
    // every second beside a meter polled every 50 ms.
    using Stamp = std::function<QStringList(const QString& byIdDir)>;

    // The system's devices (QSerialPortInfo), plus any device that only a
    // link in the by-id folder leads to, such as a pseudo-terminal posing as
    // a USB adapter.
    explicit SerialDeviceList(QString byIdDir = DefaultByIdDir);
    // Without a stamp every refresh lists the devices again.
    SerialDeviceList(Source source, QString byIdDir, Stamp stamp = {});

    SerialDevices devices() const { return source_(byIdDir_); }
    // False when the system's list can't hold the device at `canonicalPath`
    // (no terminal of that name in sysfs, as for a pseudo-terminal), so that
    // looking one device up needs no listing of all of them.
    bool mayList(const QString& canonicalPath) const;
    const QString& byIdDir() const { return byIdDir_; }
    // Empty where no stamp is known: then only listing tells.
    QStringList stamp() const { return stamp_ ? stamp_(byIdDir_) : QStringList(); }

    // Every link in the by-id folder, full paths, sorted.
    QStringList byIdLinks() const;
    // The links in the by-id folder that lead to the same file as `path`.
    QStringList byIdLinksTo(const QString& path) const;

    // What the system lists, for a by-id folder.
    static SerialDevices systemDevices(const QString& byIdDir);
    // The names in /dev and the by-id folder's links with their targets.
    static QStringList systemStamp(const QString& byIdDir);

private:
    Source source_;
    QString byIdDir_;
    Stamp stamp_;
    bool system_ = false;
};

// This user may open `path` for reading and writing.
bool MayReadWrite(const QString& path);

// The name a port stores for the device at `path`: its by-id link when `path`
// is the device node of an adapter that has one, otherwise `path` as given (a
// link someone chose stays as chosen).
QString PathToStore(const QString& path, const SerialDeviceList& list);
