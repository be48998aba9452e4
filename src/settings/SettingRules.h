// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingKey.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

// One documented key as the command line and the settings pages check it,
// whatever its type: its path ("Mqtt/Rate"), its default's text, and its rule.
struct SettingRule {
    QString path;
    QString defaultText;
    // What a text must be, in words: "a whole number from 1 to 50".
    QString allowed;
    // Empty when the text may be stored, else why not.
    std::function<QString(const QString& text)> refusal;
    // The text stored for an accepted text, as the settings pages store it
    // (" 7" as "7"); nothing when the rule refuses it.
    std::function<std::optional<QString>(const QString& text)> stored;

    template <typename T> static SettingRule of(const SettingKey<T>& key)
    {
        return {key.path(), key.toText(key.defaultValue), key.allowed,
                [key](const QString& text) { return key.refusal(text); },
                [key](const QString& text) -> std::optional<QString> {
                    if (const std::optional<T> value = key.accepted(text))
                        return key.toText(*value);
                    return std::nullopt;
                }};
    }
};

// Every key of every group the program documents, group by group.
const QList<SettingRule>& DocumentedSettings();
// The rule of `path` ("Group/Key", the key's case as written), or nothing.
const SettingRule* FindSetting(const QString& path);
// Empty when `text` may be stored under `path`, else why not; a key that is
// not documented is refused too.
QString SettingRefusal(const QString& path, const QString& text);
