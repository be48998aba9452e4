// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MqttLink.h"

#include <QObject>
#include <QPointer>

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
    void showSettings();

private:
    // A link that is off has no line.
    void showState(const QString& link, bool on, const QString& text);

    MainWindow& window_;
    SettingsStore& store_;
    MqttLink mqtt_;
    QPointer<SettingsDialog> settings_;
};
