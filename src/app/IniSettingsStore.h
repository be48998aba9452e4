#pragma once

#include "SettingsStore.h"

#include <QSettings>

// The settings in $XDG_CONFIG_HOME/Vossbridge/Vossbridge.ini.
class IniSettingsStore : public SettingsStore {
public:
    IniSettingsStore();

    QString read(const QString& section, const QString& key) override;
    void save(const QString& section, const QString& key, const QString& text) override;

    QString fileName() const { return settings_.fileName(); }

private:
    QSettings settings_;
};
