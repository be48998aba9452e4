// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsStore.h"
#include "StartUpSettings.h"

#include <QMap>
#include <QStringList>

// Settings in memory, with every save recorded in order as "Section/Key=text"
// and every read as "Section/Key", and both in one list as "save ..." and
// "read ..." for checking their order.
class FakeSettingsStore : public SettingsStore {
public:
    QMap<QString, QString> values;
    QStringList saves;
    QStringList reads;
    QStringList accesses;
    // The texts of each save() call, as one entry: what reaches the file together.
    QList<QStringList> batches;

    QString read(const QString& section, const QString& key) override
    {
        reads << section + u'/' + key;
        accesses << QStringLiteral("read ") + section + u'/' + key;
        return values.value(section + u'/' + key);
    }
    void save(const QList<StoredText>& texts) override
    {
        batches.append(QStringList());
        for (const StoredText& t : texts) {
            batches.last() << t.key;
            values[t.group + u'/' + t.key] = t.text;
            saves << t.group + u'/' + t.key + u'=' + t.text;
            accesses << QStringLiteral("save ") + t.group + u'/' + t.key + u'=' + t.text;
        }
    }
    using SettingsStore::save;

    // The keys a first run leaves, with the poll rate at the scroll bar's
    // starting value so that restoring it stores nothing.
    void setRunBefore()
    {
        for (const StoredText& t : StartUpSettings::FirstRunTexts(600, 450))
            values[t.group + u'/' + t.key] = t.text;
        values[QStringLiteral("StartUp/Pollrate")] =
            QString::number(StartUpSettings::ShortestPollPeriod);
    }
};
