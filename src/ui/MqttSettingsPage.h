// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsPage.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

// Page "MQTT" of the Settings dialog: the broker, the account, the topic
// prefix and what is published, group "Mqtt" of the settings file.
class MqttSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit MqttSettingsPage(SettingsStore& store, QWidget* parent = nullptr);

protected:
    QList<Entry> entries() const override;

private:
    void load();

    QCheckBox* enabled_;
    QLineEdit* broker_;
    QLineEdit* clientId_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLineEdit* caFile_;
    QLineEdit* prefix_;
    QSpinBox* rate_;
    QCheckBox* discovery_;
    QCheckBox* commands_;
};
