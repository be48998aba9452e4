// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// A child process's standard output in a file, read only when asked. A pipe
// would wake the test's process at every line the child prints (the meter
// simulator and the host print one a poll), and on a busy machine each
// needless wake-up delays the program's next tick.
class ChildLog {
public:
    QString path() const { return path_; }

    // The whole lines printed since the last call.
    QStringList newLines()
    {
        if (!file_.isOpen()) {
            file_.setFileName(path_);
            if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                return {};
        }
        pending_ += file_.readAll();
        QStringList lines;
        qsizetype newline;
        while ((newline = pending_.indexOf('\n')) >= 0) {
            lines << QString::fromLocal8Bit(pending_.left(newline)).trimmed();
            pending_.remove(0, newline + 1);
        }
        return lines;
    }

private:
    QTemporaryDir dir_;
    const QString path_ = dir_.filePath(QStringLiteral("output"));
    QFile file_;
    QByteArray pending_;
};
