// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MqttLink.h"
#include "ReadingsRecorder.h"
#include "StationLink.h"
#include "WebLink.h"

#include <QObject>

class MeterRun;
class SettingsStore;

// Everything that follows a metering run besides its window: the links to
// other programs and the recorder, wired to the run's signals and started
// from the stored settings. The program with a window, the run without one
// and the tests compose a run the same way, through this class.
class Links : public QObject {
    Q_OBJECT
public:
    Links(MeterRun& run, SettingsStore& store, QObject* parent = nullptr);

    StationLink& station() { return station_; }
    MqttLink& mqtt() { return mqtt_; }
    ReadingsRecorder& recorder() { return recorder_; }
    WebLink& web() { return web_; }

    // Starts recording to `path`; false when the file can't be written, and
    // the recorder's status says why. A started recording remembers its folder.
    bool startRecording(const QString& path);
    // Every link takes the stored settings again and restarts only where
    // they changed.
    void applySettings();
    // Whole rows on disk and every link closed, before the program ends.
    void shutDown();

private:
    SettingsStore& store_;
    StationLink station_;
    MqttLink mqtt_;
    ReadingsRecorder recorder_;
    WebLink web_;
};
