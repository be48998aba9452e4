// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsFileAccess.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString UserName(uid_t uid)
{
    const passwd* user = ::getpwuid(uid);
    return user ? QString::fromLocal8Bit(user->pw_name) : QString::number(uid);
}

// The closest of `path` and the folders above it that exists (and that this
// user may look at): what decides whether it can be read or made.
QString NearestExisting(QString path, struct stat* found)
{
    while (::stat(QFile::encodeName(path).constData(), found) != 0 && path != u"/")
        path = QFileInfo(path).absolutePath();
    return path;
}

// This command again, as a shell takes it.
QString ThisCommand()
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    QStringList words;
    for (QString word : QCoreApplication::arguments()) {
        if (!plain.match(word).hasMatch())
            word = u'\'' + word.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
        words << word;
    }
    return words.join(u' ');
}

QString AsOwner(uid_t owner)
{
    const QString name = UserName(owner);
    return QStringLiteral("Run it as %1: sudo -u %1 %2").arg(name, ThisCommand());
}

QString Refused(const QString& fileName, FileUse use, const QString& blocked, int error)
{
    QString text = QStringLiteral("can't %1 %2: %3")
                       .arg(use == FileUse::Read ? QStringLiteral("read") : QStringLiteral("write"),
                            fileName, QString::fromLocal8Bit(std::strerror(error)));
    struct stat node {};
    const QString owned = NearestExisting(blocked, &node);
    if (error != EACCES || node.st_uid == ::geteuid())
        return text;
    return text + QStringLiteral(" (%1 belongs to %2). ").arg(owned, UserName(node.st_uid)) +
           AsOwner(node.st_uid);
}
} // namespace

QString SettingsFileProblem(const QString& fileName, FileUse use)
{
    const QByteArray native = QFile::encodeName(fileName);
    struct stat node {};
    if (::stat(native.constData(), &node) == 0) {
        if (S_ISDIR(node.st_mode))
            return QStringLiteral("%1 is a folder, not a settings file").arg(fileName);
        if (::access(native.constData(), use == FileUse::Read ? R_OK : R_OK | W_OK) != 0)
            return Refused(fileName, use, fileName, errno);
    } else if (errno != ENOENT) {
        // A folder above it closed to this user, most often.
        return Refused(fileName, use, QFileInfo(fileName).absolutePath(), errno);
    }
    if (use == FileUse::Read)
        return {};
    // QSettings writes a new file and a lock file beside the old one.
    const QString folder = NearestExisting(QFileInfo(fileName).absolutePath(), &node);
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return Refused(fileName, use, folder, errno);
    // Root may write anything, but the file written is root's then, and the
    // service, which reads it as its own user, would find its keys gone.
    struct stat owned {};
    const QString owner = NearestExisting(fileName, &owned);
    if (::geteuid() == 0 && owned.st_uid != 0)
        return QStringLiteral("can't write %1 as root: %2 belongs to %3, who could not read it "
                              "then. ")
                   .arg(fileName, owner, UserName(owned.st_uid)) +
               AsOwner(owned.st_uid);
    return {};
}
