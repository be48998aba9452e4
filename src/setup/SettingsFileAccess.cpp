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

QString Refused(const QString& fileName, FileUse use, const QString& blocked, int error)
{
    QString text = QStringLiteral("can't %1 %2: %3")
                       .arg(use == FileUse::Read ? QStringLiteral("read") : QStringLiteral("write"),
                            fileName, QString::fromLocal8Bit(std::strerror(error)));
    struct stat node {};
    const QString owned = NearestExisting(blocked, &node);
    if (error != EACCES || node.st_uid == ::geteuid())
        return text;
    const QString owner = UserName(node.st_uid);
    return text + QStringLiteral(" (%1 belongs to %2). Run it as %2: sudo -u %2 %3")
                      .arg(owned, owner, ThisCommand());
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
    return {};
}
