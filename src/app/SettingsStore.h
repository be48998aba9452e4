#pragma once

#include "PortMap.h"

#include <QString>

// The per-user settings: text values by section and key. A missing key
// reads as the empty text; a save is durable before it returns.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString& section, const QString& key) = 0;
    virtual void save(const QString& section, const QString& key, const QString& text) = 0;
};

// The device that port number N opens, by the "Ports" group of the store.
inline QString DeviceForPort(SettingsStore& store, int portNumber)
{
    return DevicePathForPort(portNumber,
                             store.read(QStringLiteral("Ports"), PortMappingKey(portNumber)));
}
