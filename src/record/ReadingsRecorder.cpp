// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingsRecorder.h"

#include "RecordLog.h"
#include "RecordRow.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Past this much the buffer goes out before the second is up, so a very fast
// poll can't hoard memory.
constexpr qsizetype EagerFlushBytes = 256 * 1024;
// A flush that takes longer than this is reported: the disk is slow.
constexpr qint64 SlowFlushMs = 200;

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes all of `data` unless the system refuses; returns how much went out.
qsizetype WriteAll(int fd, const QByteArray& data, int& error)
{
    qsizetype done = 0;
    error = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        if (n == 0) {
            error = ENOSPC;
            break;
        }
        done += n;
    }
    return done;
}
} // namespace

ReadingsRecorder::ReadingsRecorder(QObject* parent)
    : QObject(parent), clock_([] { return QDateTime::currentDateTimeUtc(); })
{
    flushTimer_.setInterval(FlushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, &ReadingsRecorder::flush);
}

ReadingsRecorder::~ReadingsRecorder()
{
    // Blocked signals: the owner may be half destroyed already.
    const QSignalBlocker quiet(this);
    stop();
}

bool ReadingsRecorder::start(const QString& path)
{
    if (isRecording())
        stop();
    path_ = QFileInfo(path).absoluteFilePath();
    const QByteArray name = QFile::encodeName(path_);
    // Read access only to see how the file ends; a file we may only write to
    // is still fine.
    fd_ = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0 && errno == EACCES)
        fd_ = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        fail(tr("can't open %1: %2").arg(path_, SystemError(errno)));
        return false;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        fail(tr("%1 is not a regular file").arg(path_));
        return false;
    }
    pending_.clear();
    pendingRows_ = 0;
    pendingOtherLines_ = 0;
    rowsWritten_ = 0;
    lastReason_.clear();
    if (info.st_size == 0) {
        pending_ = RecordHeader();
        pendingOtherLines_ = 1;
    } else {
        // A line cut short by a crash would glue onto the first new row.
        char last = '\n';
        if (::pread(fd_, &last, 1, info.st_size - 1) == 1 && last != '\n') {
            pending_ = QByteArrayLiteral("\n");
            pendingOtherLines_ = 1;
        }
    }
    flushTimer_.start();
    qCInfo(lcRecord) << "recording to" << path_;
    Q_EMIT statusChanged();
    return true;
}

void ReadingsRecorder::stop()
{
    if (!isRecording())
        return;
    flush();
    if (!isRecording())
        return; // the flush failed and has said why
    closeFile();
    qCInfo(lcRecord) << "stopped recording to" << path_ << "after" << rowsWritten_ << "rows";
    Q_EMIT stopped(QString());
    Q_EMIT statusChanged();
}

void ReadingsRecorder::addReading(const StatusRecord& record, qint32 alarmSetting, bool alarmShown)
{
    Q_UNUSED(alarmShown)
    if (!isRecording())
        return;
    pending_ += RecordRow(clock_(), record, alarmSetting);
    ++pendingRows_;
    if (pending_.size() >= EagerFlushBytes)
        flush();
}

void ReadingsRecorder::flush()
{
    if (!isRecording() || pending_.isEmpty())
        return;
    if (!fileStillThere()) {
        fail(tr("%1 was removed or replaced").arg(path_));
        return;
    }
    QElapsedTimer took;
    took.start();
    struct stat before {};
    ::fstat(fd_, &before);
    int error = 0;
    const qsizetype written = WriteAll(fd_, pending_, error);
    if (written < pending_.size()) {
        // Keep whole lines only: cut the file back to the last line feed that
        // made it to the disk.
        const qsizetype kept = pending_.lastIndexOf('\n', written - 1) + 1;
        if (written > kept && ::ftruncate(fd_, before.st_size + kept) != 0)
            qCWarning(lcRecord) << "can't cut the partial row off" << path_ << SystemError(errno);
        rowsWritten_ += qMax<qint64>(0, pending_.left(kept).count('\n') - pendingOtherLines_);
        fail(tr("can't write to %1: %2").arg(path_, SystemError(error ? error : EIO)));
        return;
    }
    rowsWritten_ += pendingRows_;
    pending_.clear();
    pendingRows_ = 0;
    pendingOtherLines_ = 0;
    if (took.elapsed() > SlowFlushMs)
        qCWarning(lcRecord) << "writing to" << path_ << "took" << took.elapsed() << "ms";
    Q_EMIT statusChanged();
}

QString ReadingsRecorder::statusText() const
{
    if (isRecording())
        return tr("Recording to %1 (%n rows)", nullptr, static_cast<int>(rowsWritten_))
            .arg(QFileInfo(path_).fileName());
    if (!lastReason_.isEmpty())
        return tr("Recording stopped: %1").arg(lastReason_);
    return tr("Not recording");
}

void ReadingsRecorder::fail(const QString& reason)
{
    closeFile();
    lastReason_ = reason;
    qCWarning(lcRecord).noquote() << "recording stopped:" << reason;
    Q_EMIT stopped(reason);
    Q_EMIT statusChanged();
}

void ReadingsRecorder::closeFile()
{
    flushTimer_.stop();
    pending_.clear();
    pendingRows_ = 0;
    pendingOtherLines_ = 0;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool ReadingsRecorder::fileStillThere() const
{
    struct stat open {};
    struct stat named {};
    return ::fstat(fd_, &open) == 0 && ::stat(QFile::encodeName(path_).constData(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}
