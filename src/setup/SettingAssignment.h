// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class SettingsStore;

// One "Group/Key=text" of the command line.
struct SettingAssignment {
    QString path;
    QString text;
};

// Split at the first "="; nothing for an argument without one.
std::optional<SettingAssignment> ParseAssignment(const QString& argument);

// Empty when the key's own rule takes the text, else why not, naming the
// key, the text and what is allowed; for a key that is not documented, the
// names near it.
QString AssignmentRefusal(const SettingAssignment& assignment);

// Documented keys a mistyped `path` may have meant: the same name in other
// case, a slip of a letter or two, the same key in another group, or else
// the keys of its group.
QStringList NearSettingNames(const QString& path);

// The rules across keys (an MQTT password needs a user, a CA file must be
// readable), for the values `assignments` leave in `store`, where they touch
// those keys.
QStringList CombinedRefusals(const QList<SettingAssignment>& assignments, SettingsStore& store);
