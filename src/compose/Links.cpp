// SPDX-License-Identifier: GPL-3.0-or-later
#include "Links.h"

#include "MeterRun.h"
#include "RecordRow.h"

namespace {
PageMetrics::Mqtt PageMqttState(MqttClient::State state)
{
    switch (state) {
    case MqttClient::State::Off:
        return PageMetrics::Mqtt::Off;
    case MqttClient::State::Connecting:
        return PageMetrics::Mqtt::Connecting;
    case MqttClient::State::Connected:
        return PageMetrics::Mqtt::Connected;
    case MqttClient::State::Retrying:
        return PageMetrics::Mqtt::Retrying;
    }
    return PageMetrics::Mqtt::Off;
}
} // namespace

Links::Links(MeterRun& run, SettingsStore& store, QObject* parent) : QObject(parent), store_(store)
{
    connect(&run, &MeterRun::readingAccepted, &recorder_, &ReadingsRecorder::addReading);

    connect(&run, &MeterRun::readingAccepted, &station_,
            [this](const StatusRecord& record, qint32 alarmSetting) {
                station_.updateReading(record, alarmSetting);
            });
    station_.applySettings(store_);

    connect(&run, &MeterRun::readingAccepted, &mqtt_, &MqttLink::updateReading);
    connect(&run, &MeterRun::meterAvailable, &mqtt_, &MqttLink::setMeterAvailable);
    connect(&mqtt_, &MqttLink::stepAlarmRequested, &run, &MeterRun::stepAlarm);
    connect(&mqtt_, &MqttLink::togglePeakRequested, &run, &MeterRun::togglePeak);
    connect(&station_, &StationLink::protectionChanged, &mqtt_, &MqttLink::setProtection);
    mqtt_.applySettings(store_);

    connect(&run, &MeterRun::readingAccepted, &web_, &WebLink::updateReading);
    connect(&run, &MeterRun::meterAvailable, &web_, &WebLink::setMeterAvailable);
    connect(&run, &MeterRun::troublesChanged, &web_,
            [this, &run] { web_.setHostLinked(run.hostLinked()); });
    connect(&web_, &WebLink::stepAlarmRequested, &run, &MeterRun::stepAlarm);
    connect(&web_, &WebLink::togglePeakRequested, &run, &MeterRun::togglePeak);
    connect(&station_, &StationLink::protectionChanged, &web_, &WebLink::setProtectionAlarm);
    web_.setMetricsSource([this, &run](PageMetrics& m) {
        if (!run.isMeterAvailable())
            m.port = run.isPortLost() ? PageMetrics::Port::Lost : PageMetrics::Port::Waiting;
        m.counts = run.counts();
        m.stationClients = station_.clientCount();
        m.stationRefusals = station_.refusals();
        m.mqtt = PageMqttState(mqtt_.client().state());
    });
    web_.setMeterAvailable(run.isMeterAvailable());
    web_.setHostLinked(run.hostLinked());
    web_.applySettings(store_);
}

bool Links::startRecording(const QString& path)
{
    const bool started = recorder_.start(path);
    if (started)
        RememberRecordFolder(store_, path);
    return started;
}

void Links::applySettings()
{
    station_.applySettings(store_);
    mqtt_.applySettings(store_);
    web_.applySettings(store_);
}

void Links::shutDown()
{
    recorder_.stop();
}
