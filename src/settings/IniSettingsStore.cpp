// SPDX-License-Identifier: GPL-3.0-or-later
#include "IniSettingsStore.h"

#include "SettingsLog.h"

IniSettingsStore::IniSettingsStore()
    : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vossbridge"),
                QStringLiteral("Vossbridge"))
{
}

namespace {
QString Path(const QString& group, const QString& key)
{
    return group + u'/' + key;
}
} // namespace

QString IniSettingsStore::read(const QString& group, const QString& key)
{
    // A value written by hand as "a, b" comes back as a list; join it again so
    // the text stays as the user wrote it.
    const QVariant value = settings_.value(Path(group, key));
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void IniSettingsStore::save(const QList<StoredText>& texts)
{
    for (const StoredText& t : texts)
        settings_.setValue(Path(t.group, t.key), t.text);
    // QSettings writes through a temporary file and a rename, so a crash
    // leaves either the old file or the new one.
    settings_.sync();
    if (settings_.status() != QSettings::NoError)
        qCWarning(lcSettings).noquote() << "can't write settings to" << settings_.fileName();
}
