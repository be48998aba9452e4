// SPDX-License-Identifier: GPL-3.0-or-later
#include "Links.h"

#include "MeterRun.h"
#include "RecordRow.h"

Links::Links(MeterRun& run, SettingsStore& store, QObject* parent) : QObject(parent), store_(store)
{
    connect(&run, &MeterRun::readingAccepted, &recorder_, &ReadingsRecorder::addReading);

    connect(&run, &MeterRun::readingAccepted, &station_,
            [this](const StatusRecord& record, qint32 alarmState) {
                station_.updateReading(record, alarmState);
            });
    station_.applySettings(store_);

    connect(&run, &MeterRun::readingAccepted, &mqtt_, &MqttLink::updateReading);
    connect(&run, &MeterRun::meterAvailable, &mqtt_, &MqttLink::setMeterAvailable);
    connect(&mqtt_, &MqttLink::stepAlarmRequested, &run, &MeterRun::stepAlarm);
    connect(&mqtt_, &MqttLink::togglePeakRequested, &run, &MeterRun::togglePeak);
    mqtt_.applySettings(store_);
}

bool Links::startRecording(const QString& path)
{
    const bool started = recorder_.start(path);
    if (started)
        RememberRecordFolder(store_, path);
    return started;
}

void Links::shutDown()
{
    recorder_.stop();
}
