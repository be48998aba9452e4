// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The desktop's system-information programs, in the order they are tried.
inline const QStringList SystemInfoPrograms{QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
                                            QStringLiteral("kinfocenter")};

// The full path of a program, or empty where it is not installed.
using SystemInfoFinder = std::function<QString(const QString& program)>;

// Looks the program up on PATH.
QString FindSystemInfoOnPath(const QString& program);

// The first system-information program that `find` knows, or empty.
QString FirstSystemInfoProgram(const SystemInfoFinder& find);
