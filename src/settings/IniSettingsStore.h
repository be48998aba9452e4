// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsStore.h"

#include <QSettings>
#include <QStringList>

// The settings in $XDG_CONFIG_HOME/Vossbridge/Vossbridge.ini, readable by
// their owner only. A lock file left by a process that was killed while it
// wrote is removed at construction, so the first save never waits for it.
class IniSettingsStore : public SettingsStore {
public:
    IniSettingsStore();
    // The settings in the INI file `fileName`: the service's, or one named on
    // the command line.
    explicit IniSettingsStore(const QString& fileName);

    // Removes the lock file at `lockPath` when no live process holds it;
    // true when it did.
    static bool removeDeadLock(const QString& lockPath);

    QString read(const QString& group, const QString& key) override;
    void save(const QList<StoredText>& texts) override;
    using SettingsStore::save;

    QString fileName() const { return settings_.fileName(); }
    // Reads the file again, for edits made by someone else since it was
    // read; returns the keys ("Group/Key") whose text changed, came or went.
    QStringList reload();

private:
    void removeLockLeftBehind();

    QSettings settings_;
};
