// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

// Turns SIGINT and SIGTERM into a Qt signal on the event loop, so the
// program can close its window the normal way and store its settings; and,
// for a service that asks for it, SIGHUP into a request to read its
// settings again.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // From now on SIGHUP emits hangup() instead of ending the program.
    void catchHangup();

Q_SIGNALS:
    void received(int signalNumber);
    void hangup();

private:
    std::unique_ptr<QSocketNotifier> notifier_;
    bool hangupCaught_ = false;
};
