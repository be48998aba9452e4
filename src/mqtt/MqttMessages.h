// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatusReply.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// What the link publishes, apart from how: topics under the prefix, the
// state message and Home Assistant's discovery messages.
namespace MqttMessages {
inline const QByteArray Online = "online";
inline const QByteArray Offline = "offline";
inline const QByteArray NoMeter = "no meter";
// Longer command payloads are ignored.
inline constexpr qsizetype LongestCommand = 64;

struct Topics {
    explicit Topics(const QString& prefix);
    QByteArray state;
    QByteArray power;
    QByteArray swr;
    QByteArray availability;
    QByteArray protection;
    QByteArray commands; // the pattern that covers every command
    QByteArray alarmCommand;
    QByteArray peakCommand;
};

// One JSON object per accepted reply. The vector values are null while the
// meter says they mean nothing.
QByteArray StatePayload(const StatusRecord& record, qint32 alarmSetting, bool alarmShown,
                        const QDateTime& time);
// The SWR protection's latch, retained: {"latched":true,"reason":"..."}.
QByteArray ProtectionPayload(bool latched, const QString& reason);
// The plain number for a value topic.
QByteArray ValuePayload(double value);

struct Message {
    QByteArray topic;
    QByteArray payload;
};

// A name for this station usable in Home Assistant's topics and ids.
QString NodeId(const QString& prefix);
// Retained configs for the power, SWR, impedance and alarm entities of one
// device; with `remove` the empty payloads that take them away again.
QList<Message> Discovery(const QString& prefix, const QString& stationName, bool remove = false);
} // namespace MqttMessages
