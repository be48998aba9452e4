// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationLink.h"

#include "ListenAddress.h"
#include "RigRelay.h"
#include "StationLinkSettings.h"
#include "StationLog.h"

StationLink::StationLink(QObject* parent) : QObject(parent)
{
    listenRetry_.setSingleShot(true);
    connect(&listenRetry_, &QTimer::timeout, this, &StationLink::listenNow);
    connect(&server_, &RigctlServer::clientsChanged, this, &StationLink::updateStatus);
    connect(&server_, &RigctlServer::keyRequested, this, &StationLink::keyRequested);
}

void StationLink::keyRequested(const QString& peer)
{
    if (!protection_.latched())
        return;
    if (!server_.keyingRefused()) {
        qCWarning(lcStation).noquote()
            << "client" << peer << "keys the rig while the SWR alarm is latched";
        return;
    }
    ++refusedKeyings_;
    qCWarning(lcStation).noquote()
        << "refused client" << peer << "keying the rig while the SWR alarm is latched";
    updateStatus();
}

StationLink::~StationLink()
{
    // The server's last signals must not reach a half-destroyed link.
    server_.disconnect(this);
    server_.setRelay(nullptr);
    server_.close();
}

void StationLink::setAnswerTimeout(int ms)
{
    answerTimeoutMs_ = ms;
    if (relay_)
        relay_->setAnswerTimeout(ms);
}

void StationLink::applySettings(SettingsStore& store)
{
    namespace S = StationLinkSettings;
    SwrProtection::Settings p;
    p.enabled = S::Protection.read(store);
    const QString limit = S::SwrLimit.read(store);
    if (limit != u"alarm")
        p.swrLimit = limit.toDouble();
    p.powerFloor = S::PowerFloor.read(store);
    p.count = S::Count.read(store);
    // New settings start the count of replies over the limit again; the
    // same ones keep it, so applying them again never lets a streak slip.
    const SwrProtection::Settings& was = protection_.settings();
    if (p.enabled != was.enabled || p.swrLimit != was.swrLimit || p.powerFloor != was.powerFloor ||
        p.count != was.count)
        protection_.setSettings(p);
    holdUntilAcknowledged_ = S::HoldUntilAcknowledged.read(store);
    server_.setKeyingRefused(protection_.latched() && holdUntilAcknowledged_);

    const bool enabled = S::Enabled.read(store);
    const QString listen = S::Listen.read(store);
    const QString rig = S::Rig.read(store);
    if (!enabled) {
        if (enabled_)
            qCInfo(lcStation) << "station link turned off";
        enabled_ = false;
        listenRetry_.stop();
        server_.setRelay(nullptr);
        server_.close();
        relay_.reset();
        listenText_.clear();
        rigText_.clear();
        updateStatus();
        return;
    }
    enabled_ = true;
    if (rig != rigText_ || (!relay_ && !rig.isEmpty())) {
        rigText_ = rig;
        server_.setRelay(nullptr);
        relay_.reset();
        if (const auto e = ParseHostPort(rig)) {
            relay_ = std::make_unique<RigRelay>(e->host, e->port);
            if (answerTimeoutMs_ > 0)
                relay_->setAnswerTimeout(answerTimeoutMs_);
            connect(relay_.get(), &RigRelay::stateChanged, this, &StationLink::updateStatus);
        }
        server_.setRelay(relay_.get());
    }
    if (listen != listenText_ || !server_.isListening()) {
        listenText_ = listen;
        listenPause_.reset();
        listenNow();
    }
    updateStatus();
}

void StationLink::listenNow()
{
    const auto e = ParseListen(listenText_);
    if (!e)
        return;
    if (server_.listen(ListenAddress(e->host), e->port)) {
        listenError_.clear();
        listenRetry_.stop();
        listenPause_.reset();
        qCInfo(lcStation).noquote() << "listening for Hamlib clients on" << HostPortText(*e);
    } else {
        listenError_ = ListenFailureText(*e, server_.serverError(), server_.errorString());
        // Whoever holds the port may let it go: try again, less and less often.
        const QString line = listenPause_.fail(QStringLiteral("station link"), listenError_);
        if (!line.isEmpty())
            qCWarning(lcStation).noquote() << line;
        listenRetry_.start(listenPause_.current());
    }
    updateStatus();
}

void StationLink::updateReading(const StatusRecord& record, qint32 alarmSetting)
{
    server_.setReading(record);
    // The local time costs a look at the time zone: only protection that is
    // on can need it, for its alarm text.
    const QDateTime when =
        protection_.settings().enabled ? QDateTime::currentDateTime() : QDateTime();
    if (!protection_.feed(record, alarmSetting, when))
        return;
    const QString text = protection_.alarmText();
    qCWarning(lcStation).noquote() << text;
    if (relay_)
        relay_->unkey();
    else
        qCWarning(lcStation) << "no rig daemon named: the rig could not be unkeyed";
    refusedKeyings_ = 0;
    // A client keying again each transmit period would otherwise put power
    // into the fault every period until someone looks.
    server_.setKeyingRefused(holdUntilAcknowledged_);
    Q_EMIT alarmLatched(text);
    Q_EMIT protectionChanged(true, text);
    updateStatus();
}

void StationLink::acknowledgeAlarm()
{
    if (!protection_.latched())
        return;
    qCInfo(lcStation) << "SWR alarm acknowledged after" << refusedKeyings_
                      << "refused keyings; clients may key again";
    protection_.acknowledge();
    server_.setKeyingRefused(false);
    refusedKeyings_ = 0;
    Q_EMIT protectionChanged(false, QString());
    updateStatus();
}

QString StationLink::statusText() const
{
    if (!enabled_)
        return QStringLiteral("Station link: off");
    if (!server_.isListening())
        return QStringLiteral("Station link: ") + listenError_;
    QString rig;
    if (!relay_) {
        rig = QStringLiteral("meter only");
    } else {
        switch (relay_->state()) {
        case RigRelay::State::Connected:
            rig = QStringLiteral("rig connected");
            break;
        case RigRelay::State::Connecting:
            rig = QStringLiteral("rig connecting");
            break;
        case RigRelay::State::Retrying:
            rig = QStringLiteral("rig retrying");
            break;
        }
    }
    const int n = server_.clientCount();
    const auto listen = ParseListen(listenText_);
    QString text = QStringLiteral("Station link %1: %2, %3 client%4")
                       .arg(listen ? HostPortText(*listen) : listenText_, rig)
                       .arg(n)
                       .arg(n == 1 ? QString() : QStringLiteral("s"));
    if (protection_.latched()) {
        text += QStringLiteral(", SWR alarm latched");
        if (server_.keyingRefused())
            text += QStringLiteral(", %1 keying%2 refused")
                        .arg(refusedKeyings_)
                        .arg(refusedKeyings_ == 1 ? QString() : QStringLiteral("s"));
    }
    return text;
}

void StationLink::updateStatus()
{
    const QString status = statusText();
    if (status == lastStatus_)
        return;
    lastStatus_ = status;
    qCInfo(lcStation).noquote() << status;
    Q_EMIT statusChanged();
}
