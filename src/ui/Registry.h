#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <stdexcept>

// A small read-only stand-in for the system registry that the About
// dialog's system-information lookup reads: keys by root and path, each with
// named values of a type and raw bytes.
class Registry {
public:
    static constexpr quint32 LocalMachine = 0x80000002;
    static constexpr quint32 StringType = 1;
    static constexpr quint32 NumberType = 4;

    struct Value {
        quint32 type = StringType;
        QByteArray bytes;
    };

    void set(quint32 root, const QString& keyName, const QString& valueName, const Value& value);
    // A string value as the system stores it, with its terminating zero.
    void setString(quint32 root, const QString& keyName, const QString& valueName,
                   const QString& text);

    bool hasKey(quint32 root, const QString& keyName) const;
    const Value* value(quint32 root, const QString& keyName, const QString& valueName) const;

    // The table this program fills at start: the first system-information
    // program found on PATH, under the key where the lookup expects it.
    static Registry FromSystem();

private:
    QMap<QString, QMap<QString, Value>> keys_; // "root\keyName" -> values
};

// A value that can't be taken as text, such as one of length 0.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the value `subKeyRef` of key `keyName` below `keyRoot` into `keyVal`.
// True when it was read; false, with `keyVal` empty, when the key or value is
// missing or the value is longer than 1024 bytes. Throws RegistryError for a
// value of length 0.
bool GetKeyValue(const Registry& registry, quint32 keyRoot, const QString& keyName,
                 const QString& subKeyRef, QString& keyVal);
