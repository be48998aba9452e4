#pragma once

#include "SettingsStore.h"

#include <QMap>
#include <QStringList>

// Settings in memory, with every save recorded in order as "Section/Key=text".
class FakeSettingsStore : public SettingsStore {
public:
    QMap<QString, QString> values;
    QStringList saves;

    QString read(const QString& section, const QString& key) override
    {
        return values.value(section + u'/' + key);
    }
    void save(const QString& section, const QString& key, const QString& text) override
    {
        values[section + u'/' + key] = text;
        saves << section + u'/' + key + u'=' + text;
    }
};
