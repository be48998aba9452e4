// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToolsController.h"

#include "MainWindow.h"
#include "MqttSettingsPage.h"
#include "SettingsDialog.h"
#include "SettingsStore.h"

ToolsController::ToolsController(MainWindow& window, SettingsStore& store, QObject* parent)
    : QObject(parent), window_(window), store_(store)
{
    const MainMenu& menu = window_.menu();
    connect(menu.settingsAction, &QAction::triggered, this, &ToolsController::showSettings);

    connect(&window_, &MainWindow::readingAccepted, &mqtt_, &MqttLink::updateReading);
    connect(&window_, &MainWindow::meterAvailable, &mqtt_, &MqttLink::setMeterAvailable);
    connect(&mqtt_, &MqttLink::stepAlarmRequested, &window_, &MainWindow::stepAlarm);
    connect(&mqtt_, &MqttLink::togglePeakRequested, &window_, &MainWindow::togglePeak);
    connect(&mqtt_, &MqttLink::statusChanged, this,
            [this] { showState(QStringLiteral("Mqtt"), mqtt_.isEnabled(), mqtt_.statusText()); });
    mqtt_.applySettings(store_);
}

void ToolsController::showState(const QString& link, bool on, const QString& text)
{
    // Asking for the panel makes it; a link that is off needs none.
    if (on || window_.hasStatusPanel())
        window_.statusPanel()->setLine(link, on ? text : QString());
}

void ToolsController::showSettings()
{
    if (!settings_) {
        settings_ = new SettingsDialog(&window_);
        settings_->setAttribute(Qt::WA_DeleteOnClose);
        auto* mqttPage = new MqttSettingsPage(store_, settings_);
        connect(mqttPage, &MqttSettingsPage::applied, this, [this] {
            mqtt_.applySettings(store_);
            showState(QStringLiteral("Mqtt"), mqtt_.isEnabled(), mqtt_.statusText());
        });
        settings_->addPage(mqttPage, QStringLiteral("MQTT"),
                           [mqttPage] { return mqttPage->apply(); });
    }
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
}
