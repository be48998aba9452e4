// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttMessages.h"

#include "MeterReading.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>

namespace MqttMessages {
namespace {
QJsonValue Number(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}
} // namespace

Topics::Topics(const QString& prefix)
{
    const QByteArray p = prefix.toUtf8();
    state = p + "/state";
    power = p + "/power";
    swr = p + "/swr";
    availability = p + "/availability";
    protection = p + "/protection";
    commands = p + "/cmd/#";
    alarmCommand = p + "/cmd/alarm";
    peakCommand = p + "/cmd/peak";
}

QByteArray StatePayload(const StatusRecord& record, qint32 alarmSetting, bool alarmShown,
                        const QDateTime& time)
{
    const bool vector = VectorValid(record);
    const auto vectorValue = [vector](double v) {
        return vector ? Number(v) : QJsonValue(QJsonValue::Null);
    };
    const std::optional<double> fullScale = FullScaleWatts(record.rangeCode);
    const std::optional<double> alarmSwr = AlarmThreshold(alarmSetting);
    QJsonObject o{
        {QStringLiteral("power"), Number(record.power)},
        {QStringLiteral("swr"), Number(record.swr)},
        {QStringLiteral("impedance"), vectorValue(record.impedance)},
        {QStringLiteral("phase"), vectorValue(record.phase)},
        {QStringLiteral("resistance"), vectorValue(record.resistance)},
        {QStringLiteral("reactance"), vectorValue(record.reactance)},
        {QStringLiteral("peak"), record.peakFlag == 1},
        // The full scale in watts, null for a range code that names no range.
        {QStringLiteral("range"),
         fullScale ? QJsonValue(*fullScale) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("alarm_setting"), alarmSetting},
        // The SWR the alarm is set to, null while it is off.
        {QStringLiteral("alarm_swr"),
         alarmSwr ? QJsonValue(*alarmSwr) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("alarm_shown"), alarmShown},
        {QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs)},
    };
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray ProtectionPayload(bool latched, const QString& reason)
{
    const QJsonObject o{{QStringLiteral("latched"), latched}, {QStringLiteral("reason"), reason}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray ValuePayload(double value)
{
    return std::isfinite(value) ? QByteArray::number(value, 'g', 10) : QByteArray("nan");
}

QString NodeId(const QString& prefix)
{
    QString id;
    for (QChar c : prefix)
        id += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'-' || c == u'_' ? c : u'_';
    return id;
}

QList<Message> Discovery(const QString& prefix, const QString& stationName, bool remove)
{
    const Topics topics(prefix);
    const QString node = NodeId(prefix);
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{node}},
        {QStringLiteral("name"), stationName},
        {QStringLiteral("manufacturer"), QStringLiteral("Vossbridge")},
        {QStringLiteral("model"), QStringLiteral("Power and SWR meter")},
    };
    struct Entity {
        const char* component;
        const char* key;
        const char* name;
        const char* valueTemplate;
        const char* unit;
        const char* deviceClass;
    };
    const Entity entities[] = {
        {"sensor", "power", "Power", "{{ value_json.power }}", "W", "power"},
        {"sensor", "swr", "SWR", "{{ value_json.swr }}", nullptr, nullptr},
        {"sensor", "impedance", "Impedance", "{{ value_json.impedance }}", "\u03a9", nullptr},
        {"binary_sensor", "alarm", "SWR alarm", "{{ 'ON' if value_json.alarm_shown else 'OFF' }}",
         nullptr, "problem"},
    };
    QList<Message> messages;
    for (const Entity& e : entities) {
        const QString key = QString::fromLatin1(e.key);
        Message m;
        m.topic = QStringLiteral("homeassistant/%1/%2/%3/config")
                      .arg(QLatin1String(e.component), node, key)
                      .toUtf8();
        if (!remove) {
            QJsonObject config{
                {QStringLiteral("name"), QString::fromUtf8(e.name)},
                {QStringLiteral("unique_id"), node + u'_' + key},
                {QStringLiteral("object_id"), node + u'_' + key},
                {QStringLiteral("state_topic"), QString::fromUtf8(topics.state)},
                {QStringLiteral("value_template"), QString::fromUtf8(e.valueTemplate)},
                {QStringLiteral("availability_topic"), QString::fromUtf8(topics.availability)},
                // "no meter" makes the entities unavailable as "offline" does.
                {QStringLiteral("availability_template"),
                 QStringLiteral("{{ 'online' if value == 'online' else 'offline' }}")},
                {QStringLiteral("payload_available"), QStringLiteral("online")},
                {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
                {QStringLiteral("device"), device},
            };
            if (e.unit)
                config.insert(QStringLiteral("unit_of_measurement"), QString::fromUtf8(e.unit));
            if (e.deviceClass)
                config.insert(QStringLiteral("device_class"), QString::fromUtf8(e.deviceClass));
            if (QLatin1String(e.component) == QLatin1String("sensor"))
                config.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
            m.payload = QJsonDocument(config).toJson(QJsonDocument::Compact);
        }
        messages << m;
    }
    return messages;
}
} // namespace MqttMessages
