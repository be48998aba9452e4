// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatusReply.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

class SettingsStore;

// The first line of a new record file, with its line feed.
QByteArray RecordHeader();

// One line of the record file, with its line feed: the UTC time with
// milliseconds, then the readings with "." as decimal point whatever the
// locale, so that any spreadsheet reads them. The vector values are left
// empty while the meter marks them invalid; a mode, range or alarm setting
// the meter should never send is left empty too.
QByteArray RecordRow(const QDateTime& time, const StatusRecord& record, qint32 alarmSetting);

// The file a new recording proposes: vossbridge-<date>.csv in `folder`, or in
// the user's documents folder when `folder` is empty or gone.
QString DefaultRecordPath(const QString& folder, QDate date);
// The same, in the folder last recorded to.
QString DefaultRecordPath(SettingsStore& store);
// Keeps the folder of `path` for the next proposal.
void RememberRecordFolder(SettingsStore& store, const QString& path);
