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

    // Starts the run, or retries until the port opens.
    void start();
    // Shuts the run down as the window's shutdown does (less the window's
    // position) and closes the links; emits finished().
    void shutDown();

Q_SIGNALS:
    void finished();

private:
    void tryOpen();

    ProgramParts& parts_;
    QTimer openRetry_;
    bool failureLogged_ = false;
};
