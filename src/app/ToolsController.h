// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Links.h"
#include "MeterWindow.h"

#include <QObject>
#include <QPointer>
#include <memory>

class MainWindow;
class SettingsDialog;
class SettingsStore;

// What the Tools menu offers beyond the meter's own window: the meter
// window, the recorder, and the links to other programs with their settings.
// Each link's state shows in the window's status panel.
class ToolsController : public QObject {
    Q_OBJECT
public:
    ToolsController(MainWindow& window, Links& links, SettingsStore& store,
                    QObject* parent = nullptr);

    MqttLink& mqtt() { return links_.mqtt(); }
    StationLink& station() { return links_.station(); }
    // Made when first asked for: until then only its history is kept, so a
    // program that never shows it never loads the chart.
    MeterWindow& meterWindow();
    ReadingsRecorder& recorder() { return links_.recorder(); }

    void showSettings();
    // The Settings dialog with a page for each link: a page whose keys
    // changed has its link take them up, and only that link.
    static SettingsDialog* makeSettingsDialog(Links& links, SettingsStore& store, QWidget* parent);
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
    Links& links_;
    SettingsStore& store_;
    // A window of its own, closed with the main window.
    std::unique_ptr<MeterWindow> meterWindow_;
    ReadingHistory earlyHistory_;
    QPointer<SettingsDialog> settings_;
};
