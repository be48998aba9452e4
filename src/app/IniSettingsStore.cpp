#include "IniSettingsStore.h"

#include "AppLog.h"

IniSettingsStore::IniSettingsStore()
    : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vossbridge"),
                QStringLiteral("Vossbridge"))
{
}

namespace {
QString Path(const QString& section, const QString& key)
{
    return section + u'/' + key;
}
} // namespace

QString IniSettingsStore::read(const QString& section, const QString& key)
{
    // A value written by hand as "a, b" comes back as a list; join it again so
    // the text stays as the user wrote it.
    const QVariant value = settings_.value(Path(section, key));
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void IniSettingsStore::save(const QString& section, const QString& key, const QString& text)
{
    settings_.setValue(Path(section, key), text);
    // QSettings writes through a temporary file and a rename, so a crash
    // leaves either the old file or the new one.
    settings_.sync();
    if (settings_.status() != QSettings::NoError)
        qCWarning(lcApp).noquote() << "can't write settings to" << settings_.fileName();
}
