// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Whether this user may read or write a settings file, asked before QSettings
// is: it reads a file it may not open as an empty one, and so every key as
// its default, and says nothing.
enum class FileUse { Read, Write };

// Empty when the file can be used so (a missing file reads as no keys set and
// is made at the first write), else why not and the fix: the service's file
// belongs to the service's user, and the same command run as that user
// (`sudo -u vossbridged ...`) reaches it.
QString SettingsFileProblem(const QString& fileName, FileUse use);
