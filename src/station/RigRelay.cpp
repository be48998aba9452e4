// SPDX-License-Identifier: GPL-3.0-or-later
#include "RigRelay.h"

#include "HostPort.h"
#include "StationLog.h"

RigRelay::RigRelay(const QString& host, quint16 port, QObject* parent)
    : QObject(parent), host_(host), port_(port)
{
    answerTimer_.setSingleShot(true);
    answerTimer_.setInterval(DefaultAnswerTimeoutMs);
    retryTimer_.setSingleShot(true);
    retryTimer_.setInterval(RetryPause::FirstMs);
    connect(&answerTimer_, &QTimer::timeout, this, &RigRelay::onTimeout);
    connect(&retryTimer_, &QTimer::timeout, this, &RigRelay::connectNow);
    connect(&socket_, &QTcpSocket::connected, this, &RigRelay::onConnected);
    connect(&socket_, &QTcpSocket::disconnected, this, &RigRelay::onLost);
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        // A refused or failed connection attempt ends here without a
        // disconnected signal.
        if (socket_.state() != QAbstractSocket::ConnectedState)
            onLost();
    });
    connect(&socket_, &QTcpSocket::readyRead, this, &RigRelay::onReadyRead);
    connectNow();
}

RigRelay::~RigRelay()
{
    socket_.disconnect(this);
    socket_.abort();
}

void RigRelay::connectNow()
{
    setState(state_ == State::Retrying ? State::Retrying : State::Connecting);
    socket_.abort();
    received_.clear();
    socket_.connectToHost(host_, port_);
}

void RigRelay::onConnected()
{
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // \chk_vfo first: it tells whether commands carry a VFO, and makes the
    // daemon end its \dump_state with its settings and "done".
    queueInternal("\\chk_vfo", true);
    queueInternal("\\dump_state", false);
    sendNext();
}

void RigRelay::onLost()
{
    if (retryTimer_.isActive() && state_ == State::Retrying)
        return; // already counted this loss
    answerTimer_.stop();
    received_.clear();
    failAll(Rigctl::IoError);
    const QString line = pause_.fail(QStringLiteral("rig daemon ") + HostPortText(host_, port_),
                                     socket_.errorString());
    if (!line.isEmpty())
        qCInfo(lcStation).noquote() << line;
    retryTimer_.setInterval(pause_.current());
    retryTimer_.start();
    setState(State::Retrying);
}

void RigRelay::failAll(int error)
{
    std::deque<Request> failed;
    failed.swap(queue_);
    if (inFlight_)
        failed.push_front(std::move(*inFlight_));
    inFlight_.reset();
    for (Request& r : failed) {
        if (r.internal || !r.owner)
            continue;
        // Delivered from the event loop, never from inside the caller's send().
        const QByteArray answer = Rigctl::ErrorAnswer(r.command, error);
        QTimer::singleShot(0, r.owner, [answer, done = std::move(r.answer)] { done(answer); });
    }
}

void RigRelay::send(const Rigctl::Command& command, QObject* owner, Answer answer)
{
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        const QByteArray error = Rigctl::ErrorAnswer(command, Rigctl::IoError);
        QTimer::singleShot(0, owner, [error, done = std::move(answer)] { done(error); });
        return;
    }
    queue_.push_back({command, owner, std::move(answer), false});
    sendNext();
}

void RigRelay::unkey()
{
    Rigctl::Command off;
    Rigctl::Parse(vfoMode_ ? "T currVFO 0" : "T 0", vfoMode_, off);
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        qCWarning(lcStation) << "can't unkey the rig: its daemon is not connected";
        return;
    }
    queue_.push_front({off, nullptr, nullptr, true});
    sendNext();
}

void RigRelay::queueInternal(const char* line, bool front)
{
    Request r;
    r.internal = true;
    Rigctl::Parse(line, false, r.command);
    if (front)
        queue_.push_front(std::move(r));
    else
        queue_.push_back(std::move(r));
}

void RigRelay::sendNext()
{
    while (!inFlight_ && !queue_.empty()) {
        Request r = std::move(queue_.front());
        queue_.pop_front();
        if (!r.internal && !r.owner)
            continue; // its client left before its turn
        socket_.write(r.command.wireLine());
        inFlight_ = std::move(r);
        answerTimer_.start();
    }
}

void RigRelay::onReadyRead()
{
    received_ += socket_.readAll();
    if (!inFlight_) {
        qCWarning(lcStation) << "rig daemon sent" << received_.size()
                             << "bytes nobody asked for; dropped";
        received_.clear();
        return;
    }
    if (received_.size() > MaxAnswerLength) {
        qCWarning(lcStation) << "rig daemon answer too long; reconnecting";
        socket_.abort();
        onLost();
        return;
    }
    if (Rigctl::AnswerComplete(inFlight_->command, received_))
        finish(std::exchange(received_, {}));
}

void RigRelay::finish(const QByteArray& answer)
{
    answerTimer_.stop();
    Request r = std::move(*inFlight_);
    inFlight_.reset();
    if (r.internal) {
        if (r.command.is("chk_vfo")) {
            vfoMode_ = answer.trimmed() == "1";
        } else if (r.command.is("dump_state")) {
            dumpState_ = Rigctl::WithMeterLevels(answer);
            if (!dumpState_)
                qCWarning(lcStation) << "rig daemon's \\dump_state has an unknown layout";
            pause_.reset();
            qCInfo(lcStation).noquote()
                << "rig daemon" << HostPortText(host_, port_) << "connected";
            setState(State::Connected);
        } else if (r.command.is("set_ptt")) {
            qCInfo(lcStation).noquote() << "rig daemon answered the unkey with" << answer.trimmed();
        }
    } else if (r.owner) {
        r.answer(answer);
    }
    sendNext();
}

void RigRelay::onTimeout()
{
    if (!inFlight_)
        return;
    qCWarning(lcStation).noquote()
        << "rig daemon did not answer" << inFlight_->command.wireLine().trimmed() << "in"
        << answerTimer_.interval() << "ms; reconnecting";
    if (!inFlight_->internal && inFlight_->owner) {
        const QByteArray error = Rigctl::ErrorAnswer(inFlight_->command, Rigctl::TimedOut);
        inFlight_->answer(error);
    }
    inFlight_.reset();
    // Its late answer would be taken for the next command's: start afresh.
    socket_.abort();
    onLost();
}

void RigRelay::setState(State state)
{
    if (state == state_)
        return;
    state_ = state;
    Q_EMIT stateChanged();
}
