// SPDX-License-Identifier: GPL-3.0-or-later
#include "IniSettingsStore.h"

#include "SettingsLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString Path(const QString& group, const QString& key)
{
    return group + u'/' + key;
}

bool ProcessAlive(qint64 pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The settings may hold a password: only their owner reads them.
constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
} // namespace

bool IniSettingsStore::removeDeadLock(const QString& lockPath)
{
    const QByteArray native = QFile::encodeName(lockPath);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    // QLockFile holds an flock on its file from before it writes the owner
    // in until it lets go, and the system drops it with its process: a lock
    // nobody holds is left over from a process that died.
    bool dead = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        QFile lock;
        QList<QByteArray> lines;
        if (lock.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            lines = lock.read(4096).split('\n');
        bool ok = false;
        const qint64 pid = lines.value(0).toLongLong(&ok);
        const QString host = QString::fromUtf8(lines.value(2));
        // Without an owner in it QLockFile trusts only the file's age (30 s);
        // with one on this machine it checks the process, which costs a wait.
        const bool ownHost = host.isEmpty() || host == QSysInfo::machineHostName();
        dead = !ok || pid <= 0 || (ownHost && !ProcessAlive(pid));
        // Remove the file that was checked, not one a new owner put in its place.
        struct stat checked {};
        struct stat current {};
        if (dead && ::fstat(fd, &checked) == 0 && ::stat(native.constData(), &current) == 0 &&
            checked.st_ino == current.st_ino && checked.st_dev == current.st_dev)
            dead = ::unlink(native.constData()) == 0;
        else
            dead = false;
    }
    ::close(fd);
    return dead;
}

IniSettingsStore::IniSettingsStore()
    : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vossbridge"),
                QStringLiteral("Vossbridge"))
{
    removeLockLeftBehind();
}

IniSettingsStore::IniSettingsStore(const QString& fileName)
    : settings_(fileName, QSettings::IniFormat)
{
    removeLockLeftBehind();
}

void IniSettingsStore::removeLockLeftBehind()
{
    // QSettings reads without its lock and takes it at the first write, so
    // the lock is still free to clear here.
    const QString lockPath = settings_.fileName() + QStringLiteral(".lock");
    if (removeDeadLock(lockPath))
        qCInfo(lcSettings).noquote() << "removed a lock left by a stopped process:" << lockPath;
}

QString IniSettingsStore::read(const QString& group, const QString& key)
{
    // A value written by hand as "a, b" comes back as a list; join it again so
    // the text stays as the user wrote it.
    const QVariant value = settings_.value(Path(group, key));
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

QStringList IniSettingsStore::reload()
{
    const auto snapshot = [this] {
        QMap<QString, QVariant> values;
        for (const QString& key : settings_.allKeys())
            values.insert(key, settings_.value(key));
        return values;
    };
    const QMap<QString, QVariant> before = snapshot();
    settings_.sync();
    // What was read before stays in use.
    if (settings_.status() != QSettings::NoError)
        qCWarning(lcSettings).noquote() << "can't read the settings again from" << fileName();
    const QMap<QString, QVariant> after = snapshot();
    QStringList changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (before.value(it.key()) != it.value())
            changed << it.key();
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!after.contains(it.key()))
            changed << it.key();
    changed.sort();
    return changed;
}

void IniSettingsStore::save(const QList<StoredText>& texts)
{
    // QSettings replaces the file with one that keeps the old file's
    // permissions, so a file made owner-only before the first write is never
    // readable by others, not even for a moment.
    const QString name = settings_.fileName();
    // Every activation stores the port and the poll period again; a write of
    // what the file already holds would only cost a file sync, slow on an SD
    // card, before the first poll. The sync first takes in edits made to the
    // file since it was read, and writes nothing when nothing is pending.
    settings_.sync();
    const bool unchanged =
        QFileInfo::exists(name) && std::all_of(texts.begin(), texts.end(), [&](const auto& t) {
            const QVariant held = settings_.value(Path(t.group, t.key));
            return held.typeId() == QMetaType::QString && held.toString() == t.text;
        });
    if (!unchanged && !QFileInfo::exists(name)) {
        QDir().mkpath(QFileInfo(name).absolutePath());
        QFile create(name);
        if (!create.open(QIODevice::WriteOnly | QIODevice::NewOnly, OwnerOnly))
            qCWarning(lcSettings).noquote() << "can't create" << name << create.errorString();
    }
    if (!unchanged) {
        for (const StoredText& t : texts)
            settings_.setValue(Path(t.group, t.key), t.text);
        // QSettings writes through a temporary file and a rename, so a crash
        // leaves either the old file or the new one.
        settings_.sync();
        if (settings_.status() != QSettings::NoError)
            qCWarning(lcSettings).noquote() << "can't write settings to" << name;
    }
    // A file made by hand or by an older version may be readable by others.
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    if ((QFile::permissions(name) & others) && !QFile::setPermissions(name, OwnerOnly))
        qCWarning(lcSettings).noquote() << "can't make" << name << "private";
}
