// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class SettingsStore;

// Page "MQTT" of the Settings dialog: the broker, the account, the topic
// prefix and what is published, group "Mqtt" of the settings file.
class MqttSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit MqttSettingsPage(SettingsStore& store, QWidget* parent = nullptr);

    // Checks every field; saves all of them together and emits applied()
    // when they make sense, else shows why on the page and saves nothing.
    bool apply();
    QString problem() const;

Q_SIGNALS:
    void applied();

private:
    void load();
    void showProblem(const QString& text);

    SettingsStore& store_;
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
    QLabel* problem_;
};
