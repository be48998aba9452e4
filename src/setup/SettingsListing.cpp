// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsListing.h"

#include "MqttSettings.h"
#include "SettingRules.h"
#include "WebSettings.h"

#include <algorithm>

namespace {
QString Shown(const QString& path, const QString& text)
{
    if (IsSecretSetting(path))
        return text.isEmpty() ? QStringLiteral("(not set)") : QStringLiteral("(set, hidden)");
    return text.isEmpty() ? QStringLiteral("\"\"") : text;
}

QString EffectiveValue(const SettingRule& rule, const QString& stored)
{
    if (stored.isNull())
        return Shown(rule.path, rule.defaultText) + QStringLiteral(" (default)");
    if (const std::optional<QString> text = rule.stored(stored))
        return Shown(rule.path, *text);
    // The program reads a text its rule refuses as the default.
    const QString refused =
        IsSecretSetting(rule.path) ? QStringLiteral("the stored text") : u'"' + stored + u'"';
    return Shown(rule.path, rule.defaultText) +
           QStringLiteral(" (default: %1 is not allowed: %2)").arg(refused, rule.allowed);
}
} // namespace

bool IsSecretSetting(const QString& path)
{
    return path == MqttSettings::Password.path() || path == WebSettings::Token.path();
}

QString SettingsListing(SettingsStore& store)
{
    const QList<SettingRule>& rules = DocumentedSettings();
    qsizetype width = 0;
    for (const SettingRule& rule : rules)
        width = std::max(width, rule.path.section(u'/', 1).size());
    QString listing;
    QString group;
    for (const SettingRule& rule : rules) {
        const QString ruleGroup = rule.path.section(u'/', 0, 0);
        const QString key = rule.path.section(u'/', 1);
        if (ruleGroup != group) {
            group = ruleGroup;
            listing += QStringLiteral("[%1]\n").arg(group);
        }
        listing += QStringLiteral("  %1 = %2\n")
                       .arg(key.leftJustified(width), EffectiveValue(rule, store.read(group, key)));
    }
    return listing;
}
