// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HostLink.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QTimer>
#include <deque>

struct DBusConnection;

// The host link on the D-Bus session bus. Nothing here waits for the host:
// making the link is a chain of asynchronous calls that gives up after
// CallTimeoutMs in all, and reports go out without waiting, on a connection of
// their own; a report's answer is taken when the next report goes out (or by
// a check every CallTimeoutMs), so a tick costs two writes and at most one
// read, with no wake-up for the answers. A report refused, or unanswered
// after CallTimeoutMs, empties the link. Every report handed over settles
// exactly once (reportSettled), at the latest when the link is cleared or
// destroyed.
class DBusHostLink : public HostLink {
    Q_OBJECT
public:
    static constexpr int CallTimeoutMs = 1000;
    // What may wait for answers: a second of reports at the fastest poll,
    // with room to spare. Beyond it reports are dropped, not queued.
    static constexpr int MaxInFlight = 48;
    static const QString ServiceName;
    static const QString ServerPath;
    static const QString TargetInterface;

    explicit DBusHostLink(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                          QObject* parent = nullptr);
    ~DBusHostLink() override;

    // Starts linking and returns at once; linkTried() tells the outcome.
    void createLink() override;
    bool isLinked() const override { return !targetPath_.isEmpty(); }
    void reportValue(int code, int index, double value, const QString& text) override;
    void clear() override;

    // Takes the answers that have come and fails a call past its time; a
    // failure empties the link and emits failed().
    void collectAnswers();
    // Reports sent and not yet answered.
    int inFlight() const { return static_cast<int>(inFlight_.size()); }

    // The D-Bus error name of the last failed call, for the log and tests.
    QString lastError() const { return lastError_; }

private:
    struct Call {
        quint32 serial;
        qint64 sentMs;
    };

    // Sends `message` and hands its answer to `next`, unless the attempt it
    // belongs to has ended by then.
    void ask(const QDBusMessage& message, void (DBusHostLink::*next)(const QDBusMessage&));
    void tookOwnerAnswer(const QDBusMessage& reply);
    void tookActivatableNames(const QDBusMessage& reply);
    void askForTarget();
    void tookTarget(const QDBusMessage& reply);
    void tookIntrospection(const QDBusMessage& reply);
    void endAttempt();
    void giveUp();
    bool connectReports();
    void fail(const QString& errorName, const QString& message);
    // Forgets what waits for answers; each of them settles unanswered.
    void abandonInFlight();
    void settle(ReportOutcome outcome, qsizetype reports = 1);

    QDBusConnection bus_;
    QDBusServiceWatcher watcher_;
    // Which attempt to link an answer belongs to: a new attempt, a give-up
    // or clear() makes the answers still on their way stale.
    quint64 attempt_ = 0;
    bool linking_ = false;
    // The one deadline of an attempt to link; the calls' own timeouts lie
    // far beyond it and never decide.
    QTimer giveUp_;
    QString candidatePath_;
    QString targetPath_;
    QByteArray targetPathBytes_;
    DBusConnection* reports_ = nullptr;
    std::deque<Call> inFlight_;
    QElapsedTimer clock_;
    QTimer answerCheck_;
    bool toldDropping_ = false;
    QString lastError_;
    bool toldNoHost_ = false;
    bool toldNoBus_ = false;
};
