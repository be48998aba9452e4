// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenFailureReason.h"

#include "SerialDeviceList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// Where serial programs put their lock files, the places Qt and the UUCP
// tools use.
const QStringList LockDirs{QStringLiteral("/run/lock"),
                           QStringLiteral("/var/lock"),
                           QStringLiteral("/var/spool/locks"),
                           QStringLiteral("/var/spool/uucp"),
                           QStringLiteral("/tmp"),
                           QStringLiteral("/var/tmp")};

QString ProcessName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

bool ProcessAlive(qint64 pid)
{
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

// "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3, as the lock
// file of a path is named.
QString LockName(const QString& path)
{
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    name.replace(u'/', u'_');
    return QStringLiteral("LCK..") + name;
}

void AddLockOwners(const QStringList& paths, DeviceFacts& facts)
{
    QStringList seen;
    for (const QString& dir : LockDirs) {
        for (const QString& path : paths) {
            const QString lockFile = dir + u'/' + LockName(path);
            const QString real = QFileInfo(lockFile).canonicalFilePath();
            if (real.isEmpty() || seen.contains(real))
                continue;
            seen << real;
            QFile file(lockFile);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            // Both kinds of lock file start with the owner's pid as text.
            bool ok = false;
            const qint64 pid = QString::fromLatin1(file.readLine()).trimmed().toLongLong(&ok);
            // A lock whose owner is gone is stale; the next open removes it.
            if (!ok || !ProcessAlive(pid))
                continue;
            if (pid == ::getpid())
                facts.heldHere = true;
            else
                facts.holders << DeviceHolder{pid, ProcessName(pid), lockFile};
        }
    }
}

bool IsGrabber(const QString& name)
{
    return name == QLatin1String("brltty") || name == QLatin1String("ModemManager");
}

void AddProcessesHolding(const QString& target, ProcessScan scan, DeviceFacts& facts)
{
    const QByteArray wanted = QFile::encodeName(target);
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return;
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        // One read per process rather than one per open file.
        if (scan == ProcessScan::UsualGrabbers && !IsGrabber(ProcessName(pid)))
            continue;
        const QByteArray fdDir = "/proc/" + QByteArray(entry->d_name) + "/fd";
        // Other users' processes stay closed to us; that is the best we can do.
        DIR* fds = ::opendir(fdDir.constData());
        if (!fds)
            continue;
        bool holds = false;
        while (const dirent* fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.')
                continue;
            char link[4096];
            const QByteArray fdPath = fdDir + '/' + fd->d_name;
            const ssize_t n = ::readlink(fdPath.constData(), link, sizeof link);
            if (n == wanted.size() && wanted == QByteArrayView(link, n)) {
                holds = true;
                break;
            }
        }
        ::closedir(fds);
        if (!holds)
            continue;
        if (pid == ::getpid()) {
            facts.heldHere = true;
            continue;
        }
        const bool known = std::any_of(facts.holders.cbegin(), facts.holders.cend(),
                                       [pid](const DeviceHolder& h) { return h.pid == pid; });
        if (!known)
            facts.holders << DeviceHolder{pid, ProcessName(pid), QString()};
    }
    ::closedir(proc);
}

void AddGroupFacts(const struct stat& node, DeviceFacts& facts)
{
    facts.modeText = QStringLiteral("%1").arg(node.st_mode & 07777, 4, 8, QLatin1Char('0'));
    const group* g = ::getgrgid(node.st_gid);
    facts.groupName = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(node.st_gid);
    facts.inGroup = ::getegid() == node.st_gid;
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<size_t>(count));
        const int got = ::getgroups(count, groups.data());
        for (int i = 0; i < got; ++i)
            facts.inGroup = facts.inGroup || groups[static_cast<size_t>(i)] == node.st_gid;
    }
    const passwd* user = ::getpwuid(::geteuid());
    if (g && user) {
        for (char** member = g->gr_mem; *member; ++member)
            facts.listedInGroup = facts.listedInGroup || qstrcmp(*member, user->pw_name) == 0;
        facts.listedInGroup = facts.listedInGroup || user->pw_gid == node.st_gid;
    }
}

QString HolderText(const QString& path, const DeviceHolder& holder)
{
    if (holder.name == QLatin1String("brltty")) {
        return QStringLiteral("Device busy: brltty, the braille display service, has taken %1. "
                              "If you use no braille display, remove it: sudo apt remove brltty")
            .arg(path);
    }
    if (holder.name == QLatin1String("ModemManager")) {
        return QStringLiteral("Device busy: ModemManager is probing %1 for a modem and lets go "
                              "within seconds. To keep it off serial adapters: "
                              "sudo systemctl disable --now ModemManager")
            .arg(path);
    }
    const QString who = holder.name.isEmpty()
                            ? QStringLiteral("process %1").arg(holder.pid)
                            : QStringLiteral("%1 (process %2)").arg(holder.name).arg(holder.pid);
    QString text = QStringLiteral("Device busy: %1 is in use by %2").arg(path, who);
    if (!holder.lockFile.isEmpty())
        text += QStringLiteral(", lock file %1").arg(holder.lockFile);
    return text + QStringLiteral(". Close that program first.");
}

QString MissingText(const QString& path, const DeviceFacts& facts)
{
    QString text = QStringLiteral("No such device: %1. ").arg(path);
    if (facts.byIdNames.isEmpty())
        return text + QStringLiteral("No USB serial adapter is plugged in (%1 is empty).")
                          .arg(facts.byIdDir);
    return text + QStringLiteral("Present in %1: %2.")
                      .arg(facts.byIdDir, facts.byIdNames.join(QStringLiteral(", ")));
}

QString PermissionText(const QString& path, const DeviceFacts& facts)
{
    const QString group = facts.groupName;
    if (facts.inGroup)
        return QStringLiteral("Permission denied: %1 (group %2, mode %3) is not open for reading "
                              "and writing to its group, and you are in group %2.")
            .arg(path, group, facts.modeText);
    if (facts.listedInGroup)
        return QStringLiteral("Permission denied: %1 belongs to group %2. You are in group %2 "
                              "now, but this session began before: log out and in again.")
            .arg(path, group);
    return QStringLiteral("Permission denied: %1 belongs to group %2, and you are not in it. "
                          "Add yourself: sudo adduser $USER %2, then log out and in again.")
        .arg(path, group);
}
} // namespace

DeviceFacts GatherDeviceFacts(const QString& path, const SerialDeviceList& list, ProcessScan scan)
{
    DeviceFacts facts;
    facts.byIdDir = list.byIdDir();
    for (const QString& link : list.byIdLinks())
        facts.byIdNames << link.section(u'/', -1);
    struct stat node {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &node) != 0)
        return facts;
    if (S_ISCHR(node.st_mode))
        facts.kind = DeviceFacts::Kind::CharDevice;
    else if (S_ISDIR(node.st_mode))
        facts.kind = DeviceFacts::Kind::Directory;
    else if (S_ISREG(node.st_mode))
        facts.kind = DeviceFacts::Kind::RegularFile;
    else
        facts.kind = DeviceFacts::Kind::Other;
    if (facts.kind != DeviceFacts::Kind::CharDevice)
        return facts;
    facts.mayReadWrite = MayReadWrite(path);
    AddGroupFacts(node, facts);
    const QString target = QFileInfo(path).canonicalFilePath();
    AddLockOwners({path, target}, facts);
    if (scan != ProcessScan::None)
        AddProcessesHolding(target, scan, facts);
    return facts;
}

PathCheck CheckDeviceFacts(const QString& path, const DeviceFacts& facts, bool afterFailedOpen)
{
    using Verdict = PathCheck::Verdict;
    if (path.isEmpty())
        return {Verdict::NotADevice,
                QStringLiteral("No device path: pick a device from the list or type its path, "
                               "for example /dev/ttyUSB0.")};
    switch (facts.kind) {
    case DeviceFacts::Kind::Missing:
        return {Verdict::NotADevice, MissingText(path, facts)};
    case DeviceFacts::Kind::Directory:
        return {Verdict::NotADevice,
                QStringLiteral("%1 is a folder, not a serial device.").arg(path)};
    case DeviceFacts::Kind::RegularFile:
        return {Verdict::NotADevice,
                QStringLiteral("%1 is an ordinary file, not a serial device.").arg(path)};
    case DeviceFacts::Kind::Other:
        return {Verdict::NotADevice,
                QStringLiteral("%1 is not a character device, so it is no serial port.").arg(path)};
    case DeviceFacts::Kind::CharDevice:
        break;
    }
    if (!facts.mayReadWrite)
        return {Verdict::WontOpenNow, PermissionText(path, facts)};
    for (const DeviceHolder& holder : facts.holders) {
        if (afterFailedOpen || !holder.lockFile.isEmpty() || IsGrabber(holder.name))
            return {Verdict::WontOpenNow, HolderText(path, holder)};
    }
    if (facts.heldHere)
        return {Verdict::Ready, QStringLiteral("%1 is open in this program now.").arg(path)};
    return {Verdict::Ready, QStringLiteral("%1 is a serial device you may open.").arg(path)};
}

PathCheck CheckDevicePath(const QString& path, const SerialDeviceList& list)
{
    return CheckDeviceFacts(path, GatherDeviceFacts(path, list, ProcessScan::UsualGrabbers), false);
}

QString FailedOpenReason(const QString& path, const QString& systemText,
                         const SerialDeviceList& list)
{
    const DeviceFacts facts = GatherDeviceFacts(path, list, ProcessScan::All);
    const PathCheck check = CheckDeviceFacts(path, facts, true);
    if (check.verdict != PathCheck::Verdict::Ready)
        return check.reason;
    if (facts.heldHere)
        return QStringLiteral("Device busy: %1 is open in this program already.").arg(path);
    return QStringLiteral("%1: %2").arg(path, systemText);
}
