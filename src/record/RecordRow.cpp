// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordRow.h"

#include "MeterReading.h"
#include "RecordSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cmath>

namespace {
// QByteArray::number ignores the locale, so the decimal point is always ".".
void AppendNumber(QByteArray& row, double value)
{
    if (std::isfinite(value))
        row += QByteArray::number(value == 0 ? 0.0 : value, 'g', 10);
}
} // namespace

QByteArray RecordHeader()
{
    return QByteArrayLiteral("time_utc,power_w,swr,impedance_ohm,phase_deg,resistance_ohm,"
                             "reactance_ohm,mode,full_scale_w,alarm_setting\n");
}

QByteArray RecordRow(const QDateTime& time, const StatusRecord& r, qint32 alarmSetting)
{
    QByteArray row;
    row.reserve(120);
    row += time.toUTC().toString(Qt::ISODateWithMs).toLatin1();
    row += ',';
    AppendNumber(row, r.power);
    row += ',';
    AppendNumber(row, r.swr);
    const bool vectorValid = VectorValid(r);
    for (const double value : {r.impedance, r.phase, r.resistance, r.reactance}) {
        row += ',';
        if (vectorValid)
            AppendNumber(row, value);
    }
    row += ',';
    if (r.peakFlag == 1)
        row += "peak";
    else if (r.peakFlag == 0)
        row += "normal";
    row += ',';
    if (const std::optional<double> fullScale = FullScaleWatts(r.rangeCode))
        AppendNumber(row, *fullScale);
    row += ',';
    // Lower case like the mode column's words, and as every file recorded so
    // far has it, so that a file appended to across versions reads one way.
    if (const AlarmStep* step = AlarmStepFor(alarmSetting))
        row += step->off() ? QByteArray("off") : AlarmCaption(alarmSetting).toLatin1();
    row += '\n';
    return row;
}

QString DefaultRecordPath(const QString& folder, QDate date)
{
    QString dir = folder;
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty())
        dir = QDir::homePath();
    return QDir(dir).filePath(QStringLiteral("vossbridge-%1.csv").arg(date.toString(Qt::ISODate)));
}

QString DefaultRecordPath(SettingsStore& store)
{
    return DefaultRecordPath(RecordSettings::Folder.read(store), QDate::currentDate());
}

void RememberRecordFolder(SettingsStore& store, const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (RecordSettings::Folder.read(store) != folder)
        RecordSettings::Folder.save(store, folder);
}
