// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RetryPause.h"
#include "RigctlProtocol.h"

#include <QByteArray>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>

// One connection to the rig's own rigctld, shared by every client. Commands
// go up one at a time, whole and checked, and each answer is framed by the
// protocol before the next command leaves, so one client's answer can't end
// up with another. A daemon that does not answer in time is dropped and
// reconnected with a growing pause; meanwhile commands fail at once.
class RigRelay : public QObject {
    Q_OBJECT
public:
    enum class State { Connecting, Connected, Retrying };
    using Answer = std::function<void(const QByteArray& answer)>;

    static constexpr int DefaultAnswerTimeoutMs = 3000;
    // An answer longer than this is no rigctld answer.
    static constexpr qsizetype MaxAnswerLength = 1 << 20;

    RigRelay(const QString& host, quint16 port, QObject* parent = nullptr);
    ~RigRelay() override;

    void setAnswerTimeout(int ms) { answerTimer_.setInterval(ms); }

    State state() const { return state_; }
    QString host() const { return host_; }
    quint16 port() const { return port_; }
    // The daemon takes a VFO as an extra first argument.
    bool vfoMode() const { return vfoMode_; }
    // The daemon's last \dump_state, with the meter's levels added.
    std::optional<QByteArray> dumpState() const { return dumpState_; }
    // The pause before the next attempt, for the status line.
    int retryPauseMs() const { return retryTimer_.interval(); }

    // Sends a parsed command; `answer` gets the daemon's answer unchanged, or
    // an error answer when there is no daemon. Nothing is delivered once
    // `owner` is gone.
    void send(const Rigctl::Command& command, QObject* owner, Answer answer);
    // Unkeys the rig ahead of the queued client commands.
    void unkey();

Q_SIGNALS:
    void stateChanged();

private:
    struct Request {
        Rigctl::Command command;
        QPointer<QObject> owner;
        Answer answer;
        bool internal = false;
    };

    void connectNow();
    void onConnected();
    void onLost();
    void onReadyRead();
    void onTimeout();
    void sendNext();
    void setState(State state);
    void queueInternal(const char* line, bool front);
    void finish(const QByteArray& answer);
    void failAll(int error);

    QString host_;
    quint16 port_;
    QTcpSocket socket_;
    QTimer answerTimer_;
    QTimer retryTimer_;
    RetryPause pause_;
    State state_ = State::Connecting;
    bool vfoMode_ = false;
    std::optional<QByteArray> dumpState_;
    std::deque<Request> queue_;
    std::optional<Request> inFlight_;
    QByteArray received_;
};
