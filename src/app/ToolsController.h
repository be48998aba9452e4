// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MeterWindow.h"
#include "MqttLink.h"
#include "ReadingsRecorder.h"
#include "StationLink.h"

#include <QObject>
#include <QPointer>
#include <memory>

class MainWindow;
class SettingsDialog;
class SettingsStore;

// What the Tools menu offers beyond the meter's own window: the links to
// other programs and their settings. Each link follows the main window's
// readings and shows its state in the window's status panel.
class ToolsController : public QObject {
    Q_OBJECT
public:
    ToolsController(MainWindow& window, SettingsStore& store, QObject* parent = nullptr);

    MqttLink& mqtt() { return mqtt_; }
    StationLink& station() { return station_; }
    MeterWindow& meterWindow() { return *meterWindow_; }
    ReadingsRecorder& recorder() { return recorder_; }

    void showSettings();
    // Tools > Serial Device...: assigns a device to the port the list shows.
    void chooseSerialDevice();
    void showMeterWindow();
    // Tools > Record Readings...: asks for a file and starts, or stops.
    void toggleRecording();
    // Starts recording to `path` (the command line's --record); false when
    // the file can't be written, and the status panel says why.
    bool startRecording(const QString& path);

private:
    // A link that is off has no line.
    void showState(const QString& link, bool on, const QString& text);

    MainWindow& window_;
    SettingsStore& store_;
    StationLink station_;
    MqttLink mqtt_;
    ReadingsRecorder recorder_;
    // A window of its own, closed with the main window.
    std::unique_ptr<MeterWindow> meterWindow_;
    QPointer<SettingsDialog> settings_;
};
