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
#include "WebSettingsPage.h"

#include <QDateTime>
#include <QFileDialog>

ToolsController::ToolsController(MainWindow& window, Links& links, SettingsStore& store,
                                 QObject* parent)
    : QObject(parent), window_(window), links_(links), store_(store)
{
    const MainMenu& menu = window_.menu();
    connect(menu.settingsAction, &QAction::triggered, this, &ToolsController::showSettings);
    connect(menu.meterWindowAction, &QAction::triggered, this, &ToolsController::showMeterWindow);
    connect(menu.serialDeviceAction, &QAction::triggered, this,
            &ToolsController::chooseSerialDevice);
    connect(menu.recordAction, &QAction::triggered, this, &ToolsController::toggleRecording);

    // The meter window keeps its history while hidden, and before it is made.
    connect(&window_.run(), &MeterRun::readingAccepted, this,
            [this](const StatusRecord& record, qint32 alarmSetting, bool alarmShown) {
                if (meterWindow_)
                    meterWindow_->showReading(record, alarmSetting, alarmShown);
                else
                    earlyHistory_.addReading(QDateTime::currentMSecsSinceEpoch(), record);
            });
    ReadingsRecorder& rec = links_.recorder();
    connect(&rec, &ReadingsRecorder::statusChanged, this,
            [this] { window_.menu().recordAction->setChecked(recorder().isRecording()); });
    connect(&rec, &ReadingsRecorder::stopped, this, [this](const QString& reason) {
        // A recording that stopped by itself says why until the next one.
        showState(QStringLiteral("Record"), !reason.isEmpty(), recorder().statusText());
    });
    connect(&window_, &MainWindow::unloaded, &links_, &Links::shutDown);
    connect(&window_, &MainWindow::unloaded, this, [this] {
        if (meterWindow_)
            meterWindow_->close();
    });

    StationLink& stationLink = links_.station();
    connect(&stationLink, &StationLink::statusChanged, this, [this] {
        showState(QStringLiteral("Station"), station().isEnabled(), station().statusText());
    });
    // A protection trip stays in the window until the operator acknowledges it.
    connect(&stationLink, &StationLink::alarmLatched, this,
            [this](const QString& text) { window_.statusPanel()->showAlarm(text); });
    connect(window_.statusPanel(), &StatusPanel::alarmAcknowledged, &stationLink,
            &StationLink::acknowledgeAlarm);
    showState(QStringLiteral("Station"), stationLink.isEnabled(), stationLink.statusText());

    MqttLink& mqttLink = links_.mqtt();
    connect(&mqttLink, &MqttLink::statusChanged, this,
            [this] { showState(QStringLiteral("Mqtt"), mqtt().isEnabled(), mqtt().statusText()); });
    showState(QStringLiteral("Mqtt"), mqttLink.isEnabled(), mqttLink.statusText());

    WebLink& webLink = links_.web();
    connect(&webLink, &WebLink::statusChanged, this, [this] {
        showState(QStringLiteral("Web"), links_.web().isEnabled(), links_.web().statusText());
    });
    showState(QStringLiteral("Web"), webLink.isEnabled(), webLink.statusText());
}

void ToolsController::showState(const QString& link, bool on, const QString& text)
{
    // Asking for the panel makes it; a link that is off needs none.
    if (on || window_.hasStatusPanel())
        window_.statusPanel()->setLine(link, on ? text : QString());
}

SettingsDialog* ToolsController::makeSettingsDialog(Links& links, SettingsStore& store,
                                                    QWidget* parent)
{
    auto* dialog = new SettingsDialog(parent);
    // Each link's own statusChanged updates its line in the status panel.
    auto* stationPage = new StationLinkSettingsPage(store, dialog);
    connect(stationPage, &SettingsPage::applied, &links.station(),
            [&links, &store] { links.station().applySettings(store); });
    dialog->addPage(stationPage, QStringLiteral("Station programs"));
    auto* mqttPage = new MqttSettingsPage(store, dialog);
    connect(mqttPage, &SettingsPage::applied, &links.mqtt(),
            [&links, &store] { links.mqtt().applySettings(store); });
    dialog->addPage(mqttPage, QStringLiteral("MQTT"));
    auto* webPage = new WebSettingsPage(store, dialog);
    connect(webPage, &SettingsPage::applied, &links.web(),
            [&links, &store] { links.web().applySettings(store); });
    dialog->addPage(webPage, QStringLiteral("Web page"));
    return dialog;
}

void ToolsController::showSettings()
{
    if (!settings_) {
        settings_ = makeSettingsDialog(links_, store_, &window_);
        settings_->setAttribute(Qt::WA_DeleteOnClose);
    }
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
}

MeterWindow& ToolsController::meterWindow()
{
    if (!meterWindow_) {
        meterWindow_ = std::make_unique<MeterWindow>(store_);
        meterWindow_->history() = std::move(earlyHistory_);
    }
    return *meterWindow_;
}

void ToolsController::showMeterWindow()
{
    meterWindow();
    meterWindow_->show();
    meterWindow_->raise();
    meterWindow_->activateWindow();
}

void ToolsController::toggleRecording()
{
    if (recorder().isRecording()) {
        recorder().stop();
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
    const bool started = links_.startRecording(path);
    if (started)
        showState(QStringLiteral("Record"), false, {});
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
