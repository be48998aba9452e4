// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToolsController.h"

#include "MainWindow.h"
#include "MqttSettingsPage.h"
#include "PortMap.h"
#include "RecordRow.h"
#include "SerialDeviceDialog.h"
#include "SettingsDialog.h"
#include "SettingsStore.h"
#include "StationLinkSettingsPage.h"

#include <QFileDialog>

ToolsController::ToolsController(MainWindow& window, SettingsStore& store, QObject* parent)
    : QObject(parent), window_(window), store_(store),
      meterWindow_(std::make_unique<MeterWindow>(store))
{
    const MainMenu& menu = window_.menu();
    connect(menu.settingsAction, &QAction::triggered, this, &ToolsController::showSettings);
    connect(menu.meterWindowAction, &QAction::triggered, this, &ToolsController::showMeterWindow);
    connect(menu.serialDeviceAction, &QAction::triggered, this,
            &ToolsController::chooseSerialDevice);
    connect(menu.recordAction, &QAction::triggered, this, &ToolsController::toggleRecording);

    // The meter window keeps its history while hidden.
    connect(&window_, &MainWindow::readingAccepted, meterWindow_.get(), &MeterWindow::showReading);
    connect(&window_, &MainWindow::readingAccepted, &recorder_, &ReadingsRecorder::addReading);
    connect(&recorder_, &ReadingsRecorder::statusChanged, this,
            [this] { window_.menu().recordAction->setChecked(recorder_.isRecording()); });
    connect(&recorder_, &ReadingsRecorder::stopped, this, [this](const QString& reason) {
        // A recording that stopped by itself says why until the next one.
        showState(QStringLiteral("Record"), !reason.isEmpty(), recorder_.statusText());
    });
    // Whole rows on disk before the program ends.
    connect(&window_, &MainWindow::unloaded, &recorder_, &ReadingsRecorder::stop);
    connect(&window_, &MainWindow::unloaded, meterWindow_.get(), &QWidget::close);

    connect(&window_, &MainWindow::readingAccepted, &station_,
            [this](const StatusRecord& record, qint32 alarmState) {
                station_.updateReading(record, alarmState);
            });
    connect(&station_, &StationLink::statusChanged, this, [this] {
        showState(QStringLiteral("Station"), station_.isEnabled(), station_.statusText());
    });
    // A protection trip stays in the window until the operator acknowledges it.
    connect(&station_, &StationLink::alarmLatched, this,
            [this](const QString& text) { window_.statusPanel()->showAlarm(text); });
    connect(window_.statusPanel(), &StatusPanel::alarmAcknowledged, &station_,
            &StationLink::acknowledgeAlarm);
    station_.applySettings(store_);

    connect(&window_, &MainWindow::readingAccepted, &mqtt_, &MqttLink::updateReading);
    connect(&window_, &MainWindow::meterAvailable, &mqtt_, &MqttLink::setMeterAvailable);
    connect(&mqtt_, &MqttLink::stepAlarmRequested, &window_, &MainWindow::stepAlarm);
    connect(&mqtt_, &MqttLink::togglePeakRequested, &window_, &MainWindow::togglePeak);
    connect(&mqtt_, &MqttLink::statusChanged, this,
            [this] { showState(QStringLiteral("Mqtt"), mqtt_.isEnabled(), mqtt_.statusText()); });
    connect(&station_, &StationLink::protectionChanged, &mqtt_, &MqttLink::setProtection);
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
        auto* stationPage = new StationLinkSettingsPage(store_, settings_);
        connect(stationPage, &StationLinkSettingsPage::applied, this, [this] {
            station_.applySettings(store_);
            showState(QStringLiteral("Station"), station_.isEnabled(), station_.statusText());
        });
        settings_->addPage(stationPage, QStringLiteral("Station programs"),
                           [stationPage] { return stationPage->apply(); });
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

void ToolsController::showMeterWindow()
{
    meterWindow_->show();
    meterWindow_->raise();
    meterWindow_->activateWindow();
}

void ToolsController::toggleRecording()
{
    if (recorder_.isRecording()) {
        recorder_.stop();
        showState(QStringLiteral("Record"), false, {});
        return;
    }
    // Rows are appended, never overwritten, so no question about replacing.
    const QString path = QFileDialog::getSaveFileName(
        &window_, QStringLiteral("Record Readings"), DefaultRecordPath(store_),
        QStringLiteral("CSV files (*.csv);;All files (*)"), nullptr,
        QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) {
        window_.menu().recordAction->setChecked(false);
        return;
    }
    startRecording(path);
}

bool ToolsController::startRecording(const QString& path)
{
    const bool started = recorder_.start(path);
    if (started) {
        RememberRecordFolder(store_, path);
        showState(QStringLiteral("Record"), false, {});
    }
    window_.menu().recordAction->setChecked(started);
    return started;
}

void ToolsController::chooseSerialDevice()
{
    const int portNumber = PortNumberFromEntry(window_.controls().portList->currentText());
    auto* dialog = new SerialDeviceDialog(store_, portNumber, &window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The dialog has written the mapping; opening the port is an activation.
    connect(dialog, &SerialDeviceDialog::deviceChosen, &window_, [this] {
        window_.showPortDevices();
        window_.activate();
    });
    dialog->open();
}
