#include "Registry.h"

#include <QStandardPaths>

namespace {
QString KeyPath(quint32 root, const QString& keyName)
{
    return QString::number(root, 16) + u'\\' + keyName;
}
constexpr qsizetype BufferSize = 1024;
} // namespace

void Registry::set(quint32 root, const QString& keyName, const QString& valueName,
                   const Value& value)
{
    keys_[KeyPath(root, keyName)][valueName] = value;
}

void Registry::setString(quint32 root, const QString& keyName, const QString& valueName,
                         const QString& text)
{
    set(root, keyName, valueName, {StringType, text.toLocal8Bit() + '\0'});
}

bool Registry::hasKey(quint32 root, const QString& keyName) const
{
    return keys_.contains(KeyPath(root, keyName));
}

const Registry::Value* Registry::value(quint32 root, const QString& keyName,
                                       const QString& valueName) const
{
    const auto key = keys_.constFind(KeyPath(root, keyName));
    if (key == keys_.constEnd())
        return nullptr;
    const auto found = key->constFind(valueName);
    return found == key->constEnd() ? nullptr : &*found;
}

Registry Registry::FromSystem()
{
    Registry registry;
    for (const char* tool : {"hardinfo2", "hardinfo", "kinfocenter"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool));
        if (!path.isEmpty()) {
            registry.setString(LocalMachine,
                               QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                               QStringLiteral("PATH"), path);
            break;
        }
    }
    return registry;
}

bool GetKeyValue(const Registry& registry, quint32 keyRoot, const QString& keyName,
                 const QString& subKeyRef, QString& keyVal)
{
    const Registry::Value* value =
        registry.hasKey(keyRoot, keyName) ? registry.value(keyRoot, keyName, subKeyRef) : nullptr;
    if (!value || value->bytes.size() > BufferSize) {
        keyVal.clear();
        return false;
    }
    // The buffer holds the value's bytes and zeros after them.
    QByteArray buffer(BufferSize, '\0');
    std::copy(value->bytes.cbegin(), value->bytes.cend(), buffer.begin());
    const qsizetype n = value->bytes.size();
    if (n == 0)
        throw RegistryError("registry value of length 0");
    const QByteArray kept = buffer.left(buffer.at(n - 1) == '\0' ? n - 1 : n);

    if (value->type == Registry::StringType) {
        keyVal = QString::fromLocal8Bit(kept);
    } else if (value->type == Registry::NumberType) {
        // Each character's code in hexadecimal, last character first.
        QString hex;
        for (qsizetype i = kept.size() - 1; i >= 0; --i)
            hex += QString::number(static_cast<uchar>(kept.at(i)), 16);
        bool ok = false;
        const qulonglong number = hex.toULongLong(&ok, 16);
        keyVal = ok ? QString::number(number) : QStringLiteral("&h") + hex;
    }
    return true;
}
