// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingKey.h"

#include <QList>
#include <QWidget>

class QLabel;
class SettingsStore;

// A page of the Settings dialog: fields for the keys of one group. Every
// field is checked by its key's own rule; OK stores only the keys whose
// text changed, so the link behind the page is told only when it must.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(SettingsStore& store, QWidget* parent = nullptr);

    // Checks every field; shows the first refusal on the page and returns
    // it, empty when every value may be stored.
    QString check();
    // Stores, in one save, the keys whose text differs from the file's, and
    // emits applied() when there were any. Only after check() found nothing.
    void store();
    // check(), then store() when nothing was refused.
    bool apply();

    QString problem() const;
    // The field whose value check() refused last, or null.
    QWidget* problemField() const { return problemField_; }

Q_SIGNALS:
    // Keys of the page's group changed in the file.
    void applied();

protected:
    // One key as a field gives it: the text to store when its rule accepts
    // it, or its refusal.
    struct Entry {
        QWidget* field;
        StoredText text;
        QString refusal;
    };
    template <typename T>
    static Entry entry(QWidget* field, const SettingKey<T>& key, const QString& text)
    {
        const std::optional<T> value = key.accepted(text);
        if (!value)
            return {field, {key.group, key.name, QString()}, key.refusal(text)};
        return {field, key.text(*value), QString()};
    }
    template <typename T> static Entry valueEntry(QWidget* field, const SettingKey<T>& key, T value)
    {
        return entry(field, key, key.toText(value));
    }
    // Every key of the page in the order of its fields.
    virtual QList<Entry> entries() const = 0;

    // The label that shows a refusal, for the page's layout.
    QLabel* problemLabel() const { return problem_; }
    SettingsStore& settings() { return store_; }

private:
    SettingsStore& store_;
    QLabel* problem_;
    QWidget* problemField_ = nullptr;
};
