// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class SettingsStore;

// Keys whose values stay off the screen: the MQTT password, the web page's token.
bool IsSecretSetting(const QString& path);

// Every documented key with the value the program takes from the store,
// group by group: the stored text, or the default, marked as such (also
// where the stored text is not allowed, said with what is); secrets masked.
QString SettingsListing(SettingsStore& store);
