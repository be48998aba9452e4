// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsPage.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

// Tools > Settings..., page "Station programs": the server for Hamlib
// network clients (WSJT-X, fldigi, loggers), the rig daemon behind it and
// the SWR protection.
class StationLinkSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit StationLinkSettingsPage(SettingsStore& store, QWidget* parent = nullptr);

protected:
    QList<Entry> entries() const override;

private:
    QCheckBox* enabled_ = nullptr;
    QLineEdit* listen_ = nullptr;
    QLineEdit* rig_ = nullptr;
    QCheckBox* protection_ = nullptr;
    QCheckBox* hold_ = nullptr;
    QLineEdit* swrLimit_ = nullptr;
    QLineEdit* powerFloor_ = nullptr;
    QSpinBox* count_ = nullptr;
};
