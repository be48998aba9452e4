// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingAssignment.h"

#include "MqttSettings.h"
#include "SettingRules.h"

#include <algorithm>
#include <vector>

namespace {
// Letters to add, drop or change to make one text of the other.
qsizetype EditDistance(const QString& a, const QString& b)
{
    std::vector<qsizetype> row(static_cast<size_t>(b.size() + 1));
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[static_cast<size_t>(j)] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const auto k = static_cast<size_t>(j);
            const qsizetype above = row[k];
            row[k] = std::min({row[k] + 1, row[k - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row.back();
}

// Beyond this many, naming them helps less than --show-settings.
constexpr qsizetype MostNamesShown = 10;
} // namespace

std::optional<SettingAssignment> ParseAssignment(const QString& argument)
{
    const qsizetype equals = argument.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    return SettingAssignment{argument.left(equals).trimmed(), argument.mid(equals + 1)};
}

QStringList NearSettingNames(const QString& path)
{
    const QString wanted = path.toLower();
    const QString group = wanted.section(u'/', 0, 0);
    const QString key = wanted.section(u'/', 1);
    QStringList near;
    QStringList sameGroup;
    for (const SettingRule& rule : DocumentedSettings()) {
        const QString candidate = rule.path.toLower();
        if (EditDistance(candidate, wanted) <= 2 ||
            (!key.isEmpty() && candidate.section(u'/', 1) == key))
            near << rule.path;
        if (candidate.section(u'/', 0, 0) == group)
            sameGroup << rule.path;
    }
    return near.isEmpty() ? sameGroup : near;
}

QStringList CombinedRefusals(const QList<SettingAssignment>& assignments, SettingsStore& store)
{
    using namespace MqttSettings;
    const auto value = [&](const SettingKey<QString>& key, bool* given) {
        QString text = store.read(key.group, key.name);
        for (const SettingAssignment& a : assignments)
            if (a.path == key.path()) {
                text = a.text;
                *given = true;
            }
        return text;
    };
    bool userGiven = false;
    bool passwordGiven = false;
    bool caFileGiven = false;
    const QString user = value(User, &userGiven);
    const QString password = value(Password, &passwordGiven);
    const QString caFile = value(CaFile, &caFileGiven);
    QStringList refusals;
    if (userGiven || passwordGiven)
        refusals << PasswordRefusal(user, password);
    if (caFileGiven)
        refusals << CaFileRefusal(caFile);
    refusals.removeAll(QString());
    return refusals;
}

QString AssignmentRefusal(const SettingAssignment& assignment)
{
    if (FindSetting(assignment.path))
        return SettingRefusal(assignment.path, assignment.text);
    QString text = SettingRefusal(assignment.path, assignment.text);
    const QStringList near = NearSettingNames(assignment.path);
    if (near.size() == 1)
        text += QStringLiteral("; did you mean %1?").arg(near.first());
    else if (!near.isEmpty() && near.size() <= MostNamesShown)
        text += QStringLiteral("; did you mean one of %1?").arg(near.join(QStringLiteral(", ")));
    return text + QStringLiteral(" (every key with its value: --show-settings)");
}
