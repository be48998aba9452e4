// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingKey.h"

// The recorder's keys, group "Record".
namespace RecordSettings {
inline const QString Group = QStringLiteral("Record");

// The folder of the last file recorded to; the next file is proposed there.
// Empty: the user's documents folder.
inline const SettingKey<QString> Folder{
    Group,
    QStringLiteral("Folder"),
    QString(),
    TrimmedText,
    PlainText,
    nullptr,
    QStringLiteral("a folder, or empty for the documents folder")};
} // namespace RecordSettings
