// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemInfo.h"

#include <QStandardPaths>

QString FindSystemInfoOnPath(const QString& program)
{
    return QStandardPaths::findExecutable(program);
}

QString FirstSystemInfoProgram(const SystemInfoFinder& find)
{
    for (const QString& program : SystemInfoPrograms) {
        const QString path = find(program);
        if (!path.isEmpty())
            return path;
    }
    return {};
}
