// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class SerialDeviceList;

// Another process that has the device: through a lock file, an open file
// descriptor, or both.
struct DeviceHolder {
    qint64 pid = 0;
    // Its command name, "brltty", "ModemManager", "minicom" ...
    QString name;
    // The lock file it owns, empty when it holds the device without one.
    QString lockFile;
};

// What the system says about a device path, gathered in one go so that the
// reasons built from it are plain functions over this.
struct DeviceFacts {
    enum class Kind { Missing, CharDevice, Directory, RegularFile, Other };
    Kind kind = Kind::Missing;
    bool mayReadWrite = false;
    QString groupName;
    QString modeText; // "0660"
    // This process has the node's group.
    bool inGroup = false;
    // The group database lists the user, which only a new login brings into
    // the session.
    bool listedInGroup = false;
    QList<DeviceHolder> holders;
    // This program has it open itself (the port it polls).
    bool heldHere = false;
    QString byIdDir;
    // File names of the links present in the by-id folder.
    QStringList byIdNames;
};

// Whose open files to look through for the device (/proc/*/fd).
enum class ProcessScan {
    None,
    // brltty and ModemManager only: cheap enough to repeat every second.
    UsualGrabbers,
    // Every process this user may see.
    All,
};

// Looks at the path, its node's group, lock files and the open files of the
// processes `scan` names. Never opens the device: opening a serial line can
// reset what hangs on it.
DeviceFacts GatherDeviceFacts(const QString& path, const SerialDeviceList& list, ProcessScan scan);

struct PathCheck {
    enum class Verdict {
        // Opens as far as anyone can tell without opening it.
        Ready,
        // A serial device that won't open now (permission, busy).
        WontOpenNow,
        // Not a device at all: nothing to store.
        NotADevice,
    };
    Verdict verdict = Verdict::NotADevice;
    QString reason;
};

// Why `path` won't open, or that it will, in words that name the fix. With
// `afterFailedOpen` any other process holding the device counts as the
// cause; before an open only lock files and the usual grabbers (brltty,
// ModemManager) do, since the program that made a line often holds it too.
PathCheck CheckDeviceFacts(const QString& path, const DeviceFacts& facts, bool afterFailedOpen);

// The check the Serial Device dialog shows for a path.
PathCheck CheckDevicePath(const QString& path, const SerialDeviceList& list);

// The reason a failed open gives: what the facts show, or else the
// system's text.
QString FailedOpenReason(const QString& path, const QString& systemText,
                         const SerialDeviceList& list);
