// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class SettingsStore;

// Tools > Settings..., page "Station programs": the server for Hamlib
// network clients (WSJT-X, fldigi, loggers), the rig daemon behind it and
// the SWR protection.
class StationLinkSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit StationLinkSettingsPage(SettingsStore& store, QWidget* parent = nullptr);

    // Writes every field in one save when all make sense; otherwise shows
    // why on the page and writes nothing.
    bool apply();
    QString problem() const;

Q_SIGNALS:
    void applied();

private:
    SettingsStore& store_;
    QCheckBox* enabled_ = nullptr;
    QLineEdit* listen_ = nullptr;
    QLineEdit* rig_ = nullptr;
    QCheckBox* protection_ = nullptr;
    QCheckBox* hold_ = nullptr;
    QLineEdit* swrLimit_ = nullptr;
    QLineEdit* powerFloor_ = nullptr;
    QSpinBox* count_ = nullptr;
    QLabel* problem_ = nullptr;
};
