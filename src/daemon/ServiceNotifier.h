// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class HeadlessRun;
class MeterRun;

// Tells systemd, through its notify socket, how the run is: ready once the
// run has started (its port open, or the first retry scheduled), a status
// line for `systemctl status`, reloading and stopping; and feeds its
// watchdog. A watchdog ping says the run is alive: a poll tick finished since
// the last one, or, while no port is open, the retry is scheduled. A run
// whose tick stops is then restarted by systemd. Without NOTIFY_SOCKET in
// the environment there is no one to tell, and nothing is made.
class ServiceNotifier : public QObject {
    Q_OBJECT
public:
    ServiceNotifier(HeadlessRun& headless, MeterRun& run, QObject* parent = nullptr);

    // Whether systemd (or someone standing in for it) listens.
    static bool isWanted();

    // Around settings read again: status "reloading" until done.
    void reloading();
    void reloaded();
    void stopping();

private:
    void ready();
    void updateStatus();
    void ping();
    void checkPollPeriod();
    void notify(const QByteArray& state);

    HeadlessRun& headless_;
    MeterRun& run_;
    QTimer waitingBeat_;
    QElapsedTimer sincePing_;
    qint64 pingEveryMs_ = 0;
    QString status_;
    bool ready_ = false;
    bool toldFailure_ = false;
};
