// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingTexts.h"
#include "SettingsStore.h"

#include <optional>

// One stored setting: where it stands in the file, its type, its default and
// how its text converts. Each key of the program is declared once, in the
// table of its group, and read and written only through it.
template <typename T> struct SettingKey {
    QString group;
    QString name;
    T defaultValue;
    // Nothing for a text that does not convert; the key then reads as its default.
    std::optional<T> (*fromText)(const QString& text);
    QString (*toText)(T value);
    // Values that convert but make no sense (out of range) read as the default too.
    bool (*sensible)(T value) = nullptr;
    // What a text must be, in the words of a refusal: "a whole number from 1 to 100".
    QString allowed = QString();

    // "Group/Name", as a refusal and the command line name the key.
    QString path() const { return group + u'/' + name; }

    // The value a text gives when it may be stored: it converts and makes sense.
    std::optional<T> accepted(const QString& text) const
    {
        // An empty field is an empty text, not a missing key.
        const std::optional<T> value = fromText(text.isNull() ? QStringLiteral("") : text);
        if (!value || (sensible && !sensible(*value)))
            return std::nullopt;
        return value;
    }
    // Empty when `text` may be stored, else why not, naming the key and the text.
    QString refusal(const QString& text) const
    {
        return accepted(text) ? QString() : RefusalText(path(), text, allowed);
    }

    // The stored value, or `fallback` where the text is missing, does not
    // convert or makes no sense.
    T valueOf(const QString& text, T fallback) const
    {
        // A missing key (a null text) has no value, even for a lenient
        // conversion that would make 0 of it: a file that lost keys gets
        // their defaults. A key present but empty is the conversion's to judge.
        if (text.isNull())
            return fallback;
        const std::optional<T> value = fromText(text);
        if (!value || (sensible && !sensible(*value)))
            return fallback;
        return *value;
    }
    T valueOf(const QString& text) const { return valueOf(text, defaultValue); }

    T read(SettingsStore& store) const { return valueOf(store.read(group, name)); }
    T read(SettingsStore& store, T fallback) const
    {
        return valueOf(store.read(group, name), fallback);
    }
    StoredText text(T value) const { return {group, name, toText(value)}; }
    void save(SettingsStore& store, T value) const { store.save(QList<StoredText>{text(value)}); }
};
