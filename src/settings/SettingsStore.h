// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// One stored text: group, key and the text as it stands in the file.
struct StoredText {
    QString group;
    QString key;
    QString text;
};

// The per-user settings: text values by group and key. A missing key reads
// as the empty text; a save is durable before it returns.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString& group, const QString& key) = 0;
    // Writes the texts together, in order: a crash leaves all of them or none.
    virtual void save(const QList<StoredText>& texts) = 0;

    void save(const QString& group, const QString& key, const QString& text)
    {
        save(QList<StoredText>{{group, key, text}});
    }
};
