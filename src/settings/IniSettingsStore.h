// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsStore.h"

#include <QSettings>

// The settings in $XDG_CONFIG_HOME/Vossbridge/Vossbridge.ini.
class IniSettingsStore : public SettingsStore {
public:
    IniSettingsStore();

    QString read(const QString& group, const QString& key) override;
    void save(const QList<StoredText>& texts) override;
    using SettingsStore::save;

    QString fileName() const { return settings_.fileName(); }

private:
    QSettings settings_;
};
