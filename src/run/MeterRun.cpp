// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterRun.h"

#include "HostReport.h"
#include "RunLog.h"
#include "SerialLink.h"
#include "StartUpSettings.h"

#include <QScopeGuard>

namespace Keys = StartUpSettings;

MeterRun::MeterRun(SettingsStore& store, SerialLink& port, HostLink& host, QObject* parent)
    : QObject(parent), store_(store), port_(port), host_(host)
{
    pollTimer_.setObjectName(QStringLiteral("Timer1"));
    pollTimer_.setTimerType(Qt::PreciseTimer);
    pollTimer_.setInterval(200);
    connect(&pollTimer_, &QTimer::timeout, this, &MeterRun::pollTick);
    // Whatever drives the run, and whichever links it has, they tell it
    // of a loss, a return and a host's failure or arrival the same way.
    connect(&port_, &SerialLink::lost, this, &MeterRun::portLost);
    connect(&port_, &SerialLink::recovered, this, &MeterRun::portRecovered);
    connect(&host_, &HostLink::failed, this, &MeterRun::noteHostTried);
    connect(&host_, &HostLink::reportSettled, this, &MeterRun::countReport);
    connect(&host_, &HostLink::hostAppeared, this, &MeterRun::linkHostAgain);
    connect(&host_, &HostLink::linkTried, this, &MeterRun::noteHostTried);
}

qint16 MeterRun::storedPollPeriod() const
{
    return Keys::PollPeriod.read(store_);
}

qint16 MeterRun::portNumber() const
{
    return port_.portNumber();
}

QString MeterRun::portError() const
{
    return port_.errorText();
}

bool MeterRun::hostLinked() const
{
    return host_.isLinked();
}

void MeterRun::setMeterAvailable(bool available)
{
    if (available == meterAvailable_)
        return;
    meterAvailable_ = available;
    Q_EMIT meterAvailable(available);
}

bool MeterRun::openPort()
{
    // Setting these on a port that is open changes nothing until its next open.
    port_.setPortNumber(Keys::PortNumber.read(store_));
    port_.setLineSettings(LineSettings{});
    port_.setReadLength(0);
    if (!port_.open()) {
        setMeterAvailable(false);
        return false;
    }
    setMeterAvailable(true);
    portLost_ = false;
    Q_EMIT troublesChanged();
    return true;
}

bool MeterRun::start(const std::function<void()>& opened)
{
    ++startDepth_;
    const auto leave = qScopeGuard([this] { --startDepth_; });
    // A port that won't open leaves the tick as it was, at the stored period.
    pollTimer_.setInterval(storedPollPeriod());
    if (!openPort())
        return false;
    if (opened)
        opened();
    startPolling();
    if (startDepth_ == 1)
        qCInfo(lcRun).noquote() << "polling port" << portNumber() << "every" << pollPeriod()
                                << "ms";
    return true;
}

void MeterRun::shutDown(const QList<StoredText>& alsoStore)
{
    pollTimer_.stop();
    // One save, so that a kill leaves all of them or none.
    store_.save(alsoStore + QList<StoredText>{Keys::PortNumber.text(portNumber()),
                                              Keys::Alarm.text(alarmSetting()),
                                              Keys::Scale.text(Keys::Scale.defaultValue)});
    port_.close();
}

void MeterRun::pausePolling()
{
    pollTimer_.stop();
}

void MeterRun::resumePolling()
{
    pollTimer_.start();
}

void MeterRun::startPolling()
{
    port_.clearReceiveBuffer();
    pending_ = {};
    pollCycle_.reset();
    host_.createLink();
    pollTimer_.setInterval(storedPollPeriod());
    pollTimer_.start();
}

void MeterRun::setPollPeriod(qint16 milliseconds)
{
    pollTimer_.stop();
    pollTimer_.setInterval(milliseconds);
    Keys::PollPeriod.save(store_, milliseconds);
    pollTimer_.start();
}

void MeterRun::releasePort()
{
    port_.close();
    setMeterAvailable(false);
}

void MeterRun::choosePort(qint16 number)
{
    pollTimer_.stop();
    if (port_.isOpen())
        port_.close();
    port_.setPortNumber(number);
    Keys::PortNumber.save(store_, number);
}

void MeterRun::pollTick()
{
    const TickOutcome outcome = pollCycle_.tick(port_, pending_, [this](const QString& reply) {
        lastReply_ = reply;
        DecodeStatusReply(reply, record_);
        FollowReading(record_, reading_);
        Q_EMIT readingAccepted(record_, reading_.alarmSetting, reading_.alarmShown);
    });
    countTick(outcome);
    reportToHost();
    Q_EMIT tickFinished(outcome);
}

void MeterRun::countTick(TickOutcome outcome)
{
    if (outcome == TickOutcome::PortClosed)
        return;
    if (pollCycle_.lastTickPolled())
        ++counts_.polls;
    if (outcome == TickOutcome::Accepted)
        ++counts_.accepted;
    else if (pollCycle_.lastReadEmpty())
        ++counts_.ticksWithoutReply;
    else
        ++counts_.rejected;
}

void MeterRun::countReport(HostLink::ReportOutcome outcome)
{
    switch (outcome) {
    case HostLink::ReportOutcome::Answered:
        ++counts_.hostAnswered;
        break;
    case HostLink::ReportOutcome::Refused:
        ++counts_.hostRefused;
        break;
    case HostLink::ReportOutcome::Unanswered:
        ++counts_.hostUnanswered;
        break;
    case HostLink::ReportOutcome::NotSent:
        ++counts_.hostNotSent;
        break;
    }
}

void MeterRun::noteHostTried()
{
    hostTried_ = true;
    Q_EMIT troublesChanged();
}

bool MeterRun::report(int code, int index, double value)
{
    // No call without a link: there is no host to answer it.
    if (!host_.isLinked()) {
        ++counts_.hostNotSent;
        return false;
    }
    // A host that failed or did not answer in time empties the link until
    // it appears again or the next start links anew: at once when the link
    // finds the failure while sending, else later through failed().
    host_.reportValue(code, index, value, QString());
    return host_.isLinked();
}

void MeterRun::reportToHost()
{
    const bool hostAnswered = report(SwrReport, reading_.alarmSetting, record_.swr);
    // After a failure found while sending, the rest of the tick's calls are
    // skipped; one found later leaves both of the tick's reports sent.
    if (const auto plan = PlanPowerReport(record_.rangeCode, record_.power); plan && hostAnswered)
        report(PowerReport, plan->index, plan->reportedPower);
}

void MeterRun::reportSwr(int alarmSetting, double swr)
{
    report(SwrReport, alarmSetting, swr);
}

void MeterRun::linkHostAgain()
{
    host_.createLink();
}

void MeterRun::stepAlarm()
{
    pending_.stepAlarm = true;
}

void MeterRun::togglePeak()
{
    pending_.togglePeak = true;
}

void MeterRun::portLost(const QString& reason)
{
    portLost_ = true;
    lostReason_ = reason;
    setMeterAvailable(false);
    Q_EMIT troublesChanged();
}

void MeterRun::portRecovered()
{
    portLost_ = false;
    setMeterAvailable(true);
    Q_EMIT troublesChanged();
    // Whatever the line held while it was away is no reply.
    port_.clearReceiveBuffer();
    pollCycle_.reset();
    // Whatever stopped the timer while the port was away (a failed pick of
    // another port, say), the port is open again and polls.
    pollTimer_.start();
}

QString MeterRun::lostReason() const
{
    const QString waiting = port_.waitingFor();
    return waiting.isEmpty() ? lostReason_ : lostReason_ + u'\n' + waiting;
}

QStringList MeterRun::troubles() const
{
    QStringList trouble;
    if (portLost_)
        trouble << QStringLiteral("port lost");
    if (portLost_ && !port_.waitingFor().isEmpty())
        trouble << port_.waitingFor();
    if (hostTried_ && !host_.isLinked())
        trouble << QStringLiteral("no host");
    return trouble;
}
