// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttLink.h"

#include "MqttLog.h"
#include "MqttSettings.h"
#include "SettingsStore.h"

MqttLink::MqttLink(QObject* parent) : QObject(parent)
{
    clock_.start();
    rateTimer_.setSingleShot(true);
    connect(&rateTimer_, &QTimer::timeout, this, &MqttLink::sendReading);
    connect(&client_, &MqttClient::stateChanged, this, &MqttLink::statusChanged);
    connect(&client_, &MqttClient::connected, this, &MqttLink::brokerAccepted);
    connect(&client_, &MqttClient::messageReceived, this, &MqttLink::commandReceived);
}

MqttLink::~MqttLink()
{
    client_.stop(topics_.availability, MqttMessages::Offline);
}

MqttLink::Settings MqttLink::readSettings(SettingsStore& store)
{
    using namespace MqttSettings;
    Settings s;
    s.enabled = Enabled.read(store);
    s.broker = Broker.read(store);
    s.clientId = ClientId.read(store);
    s.user = User.read(store);
    s.password = Password.read(store);
    s.caFile = CaFile.read(store);
    s.prefix = Prefix.read(store);
    s.rate = Rate.read(store);
    s.discovery = Discovery.read(store);
    s.commands = Commands.read(store);
    return s;
}

void MqttLink::applySettings(SettingsStore& store)
{
    using namespace MqttSettings;
    const Settings settings = readSettings(store);
    // A connection that is retrying keeps retrying on its own.
    if (running_ == settings)
        return;
    running_ = settings;
    client_.stop(topics_.availability, MqttMessages::Offline);
    rateTimer_.stop();

    enabled_ = settings.enabled;
    if (!PrefixProblem(store.read(Group, Prefix.name).trimmed()).isEmpty() &&
        !store.read(Group, Prefix.name).isEmpty())
        qCWarning(lcMqtt) << "the stored topic prefix can't be used; using" << Prefix.defaultValue;
    prefix_ = settings.prefix;
    topics_ = MqttMessages::Topics(prefix_);
    minIntervalMs_ = 1000 / settings.rate;
    discovery_ = settings.discovery;
    commands_ = settings.commands;

    if (!enabled_) {
        Q_EMIT statusChanged();
        return;
    }
    const HostPort broker = *ParseHostPort(settings.broker, DefaultPort);
    MqttClient::Options options;
    options.host = broker.host;
    options.port = broker.port;
    options.clientId = settings.clientId;
    options.user = settings.user;
    options.password = settings.password;
    options.caFile = settings.caFile;
    options.willTopic = topics_.availability;
    options.willPayload = MqttMessages::Offline;
    qCInfo(lcMqtt) << "publishing under" << prefix_ << "at most" << 1000 / minIntervalMs_
                   << "per second; discovery" << discovery_ << "commands" << commands_;
    client_.start(options);
}

void MqttLink::updateReading(const StatusRecord& record, qint32 alarmSetting, bool alarmShown)
{
    record_ = record;
    alarmSetting_ = alarmSetting;
    alarmShown_ = alarmShown;
    readingTime_ = QDateTime::currentDateTimeUtc();
    pending_ = true;
    // A reading shows the meter is there, whatever was said before.
    if (!meterAvailable_)
        setMeterAvailable(true);
    sendReading();
}

void MqttLink::setMeterAvailable(bool available)
{
    if (available == meterAvailable_)
        return;
    meterAvailable_ = available;
    publishAvailability();
}

void MqttLink::setProtection(bool latched, const QString& reason)
{
    protectionLatched_ = latched;
    protectionReason_ = latched ? reason : QString();
    publishProtection();
}

void MqttLink::publishProtection()
{
    client_.publish(topics_.protection,
                    MqttMessages::ProtectionPayload(protectionLatched_, protectionReason_), 1,
                    true);
}

QString MqttLink::statusText() const
{
    switch (client_.state()) {
    case MqttClient::State::Off:
        return QStringLiteral("MQTT: off");
    case MqttClient::State::Connecting:
        return QStringLiteral("MQTT: connecting to %1").arg(client_.brokerText());
    case MqttClient::State::Connected:
        return QStringLiteral("MQTT: connected to %1").arg(client_.brokerText());
    case MqttClient::State::Retrying:
        break;
    }
    const int seconds = (client_.retryPauseMs() + 999) / 1000;
    if (client_.reason().startsWith(QStringLiteral("refused")))
        return QStringLiteral("MQTT: %1; retrying in %2 s").arg(client_.reason()).arg(seconds);
    return QStringLiteral("MQTT: retrying in %1 s (%2)").arg(seconds).arg(client_.reason());
}

void MqttLink::brokerAccepted()
{
    publishAvailability();
    publishProtection();
    const QList<MqttMessages::Message> discovery = MqttMessages::Discovery(
        prefix_, QStringLiteral("Vossbridge ") + MqttSettings::HostName(), !discovery_);
    for (const MqttMessages::Message& m : discovery)
        client_.publish(m.topic, m.payload, 1, true);
    if (commands_)
        client_.subscribe(topics_.commands, 0);
    nextAllowedMs_ = 0;
    sendReading();
}

void MqttLink::sendReading()
{
    if (!pending_ || client_.state() != MqttClient::State::Connected)
        return;
    const qint64 now = clock_.elapsed();
    // Readings wait while the socket still holds earlier ones, so a slow
    // broker gets the latest reading rather than a growing queue.
    if (now < nextAllowedMs_ - SlackMs || client_.isWriting()) {
        // The reading held back goes by this timer only if no newer one
        // comes first: the next tick normally sends it, so the timer does
        // not wake the program a second time per message.
        if (!rateTimer_.isActive())
            rateTimer_.start(static_cast<int>(std::max<qint64>(nextAllowedMs_ - now, 0)) +
                             FallbackMs);
        return;
    }
    rateTimer_.stop();
    pending_ = false;
    // On a fixed grid, so that sending a little early now and then never
    // adds up to more than the rate.
    nextAllowedMs_ = std::max(now, nextAllowedMs_) + minIntervalMs_;
    client_.publish(topics_.state,
                    MqttMessages::StatePayload(record_, alarmSetting_, alarmShown_, readingTime_),
                    0, false);
    client_.publish(topics_.power, MqttMessages::ValuePayload(record_.power), 0, false);
    client_.publish(topics_.swr, MqttMessages::ValuePayload(record_.swr), 0, false);
}

void MqttLink::publishAvailability()
{
    client_.publish(topics_.availability,
                    meterAvailable_ ? MqttMessages::Online : MqttMessages::NoMeter, 1, true);
}

void MqttLink::commandReceived(const QByteArray& topic, const QByteArray& payload)
{
    if (!commands_)
        return;
    if (payload.size() > MqttMessages::LongestCommand) {
        qCWarning(lcMqtt) << "ignored a command of" << payload.size() << "bytes on" << topic;
        return;
    }
    if (topic == topics_.alarmCommand) {
        qCInfo(lcMqtt) << "command: step the alarm";
        Q_EMIT stepAlarmRequested();
    } else if (topic == topics_.peakCommand) {
        qCInfo(lcMqtt) << "command: toggle peak";
        Q_EMIT togglePeakRequested();
    } else {
        qCWarning(lcMqtt) << "ignored a message on" << topic;
    }
}
