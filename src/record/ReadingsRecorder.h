// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatusReply.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>

// Appends one CSV line per accepted meter reply to a file. A reading only
// joins a buffer in memory, so a tick never waits for the disk; the buffer
// goes out at least once a second, at stop() and on destruction. The file
// only ever grows by whole lines: when the disk takes part of a write, the
// part is cut off again and recording stops with the reason.
class ReadingsRecorder : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    explicit ReadingsRecorder(QObject* parent = nullptr);
    ~ReadingsRecorder() override;

    // Opens `path` for appending (a new or empty file gets the header line
    // first). False when it can't be opened; stopped() then tells why.
    bool start(const QString& path);
    // Writes what is buffered and closes the file. Nothing when not recording.
    void stop();
    bool isRecording() const { return fd_ >= 0; }
    QString path() const { return path_; }
    // "Recording to FILE (N rows)", "Not recording" or why recording stopped.
    QString statusText() const;
    qint64 rowsWritten() const { return rowsWritten_; }

    // The time stamped on each row; the system's clock unless a test sets one.
    void setClock(Clock clock) { clock_ = std::move(clock); }
    static constexpr int FlushIntervalMs = 1000;

public Q_SLOTS:
    // Matches the main window's readingAccepted signal.
    void addReading(const StatusRecord& record, qint32 alarmSetting, bool alarmShown);
    // Writes the buffered rows now.
    void flush();

Q_SIGNALS:
    // Recording ended: `reason` is empty after stop(), otherwise it says what
    // went wrong (also when start() failed).
    void stopped(const QString& reason);
    void statusChanged();

private:
    void fail(const QString& reason);
    void closeFile();
    bool fileStillThere() const;

    Clock clock_;
    QTimer flushTimer_;
    QString path_;
    QString lastReason_;
    QByteArray pending_;
    qint64 pendingRows_ = 0;
    // The header or a line feed ending a cut-short line, not counted as rows.
    qint64 pendingOtherLines_ = 0;
    qint64 rowsWritten_ = 0;
    int fd_ = -1;
};
