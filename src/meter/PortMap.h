// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

class SettingsStore;

// The device that port number N opens: the user's mapping where there is
// one, otherwise the system's N-th serial port.
QString DevicePathForPort(int portNumber, const QString& mappedPath);

// The device that port number N opens, by the "Ports" group of the store.
QString DeviceForPort(SettingsStore& store, int portNumber);

// Port number of a port-list entry: the leading number of its last two
// characters, rounded to the nearest 16-bit integer ("Com09 " gives 9).
qint16 PortNumberFromEntry(QStringView entryText);
