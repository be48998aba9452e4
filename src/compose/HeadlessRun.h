// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

struct ProgramParts;

// The program without a window, as a service on a small computer with no
// screen: it polls, reports and serves the links from the same settings as
// the window would. Where the window would ask a person to check the port, it
// logs why and tries again, so a meter plugged in later is picked up.
class HeadlessRun : public QObject {
    Q_OBJECT
public:
    // How long it waits before trying a port that would not open again.
    static constexpr int OpenRetryMs = 5000;

    explicit HeadlessRun(ProgramParts& parts, QObject* parent = nullptr);

    // Starts the run, or retries until the port opens; emits started() once
    // either is under way.
    void start();
    // Takes settings read again: the links restart where theirs changed, the
    // run takes a changed poll period, and a changed port or device is
    // opened afresh. `changedKeys` ("Group/Key") only go to the log line.
    void applySettings(const QStringList& changedKeys);
    // Shuts the run down as the window's shutdown does (less the window's
    // position) and closes the links; emits finished().
    void shutDown();

    // The port would not open and the next try is scheduled.
    bool isWaitingForPort() const { return openRetry_.isActive(); }
    // What a person reads of the run's state: "polling port 5 every 200 ms",
    // "waiting for port 5: ..." or "port 5 lost: ...".
    QString stateText() const;

Q_SIGNALS:
    // The run polls its port (`portOpen`), or its first retry is scheduled.
    void started(bool portOpen);
    // stateText() may say otherwise.
    void stateChanged();
    void finished();

private:
    void tryOpen();
    void reopenPort();

    ProgramParts& parts_;
    QTimer openRetry_;
    QString openedDevice_;
    QString toldTrouble_;
    bool failureLogged_ = false;
    bool started_ = false;
};
