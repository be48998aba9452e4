// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MqttClient.h"
#include "MqttMessages.h"
#include "StatusReply.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <optional>

class SettingsStore;

// The window's side of publishing to an MQTT broker: it hands over each
// accepted reading and the meter's presence, shows statusText(), and acts on
// the two command signals as on its Alarm and Fast/Slow buttons.
class MqttLink : public QObject {
    Q_OBJECT
public:
    explicit MqttLink(QObject* parent = nullptr);
    // Leaves the broker with "offline" on the availability topic.
    ~MqttLink() override;

    // Reads group "Mqtt" and, where it differs from what the link runs on,
    // reconnects, or disconnects when MQTT is off. Unchanged settings keep
    // the connection: the broker sees no "offline" and no new client.
    void applySettings(SettingsStore& store);

    // The latest reading wins: at most Rate state messages a second go out,
    // the last one held back goes when the rate allows.
    void updateReading(const StatusRecord& record, qint32 alarmSetting, bool alarmShown);
    // The port opened (true) or was lost or closed (false).
    void setMeterAvailable(bool available);
    // The station link's SWR protection latched, with what tripped it, or
    // was acknowledged; kept retained on <prefix>/protection.
    void setProtection(bool latched, const QString& reason);

    // "MQTT: off", "MQTT: connected to host:1883", "MQTT: retrying in 4 s (...)".
    QString statusText() const;
    // Whether group "Mqtt" turned the link on.
    bool isEnabled() const { return enabled_; }

    MqttClient& client() { return client_; }

Q_SIGNALS:
    void statusChanged();
    // A command arrived on <prefix>/cmd/alarm or <prefix>/cmd/peak.
    void stepAlarmRequested();
    void togglePeakRequested();

private:
    // Group "Mqtt" as read.
    struct Settings {
        bool enabled = false;
        QString broker;
        QString clientId;
        QString user;
        QString password;
        QString caFile;
        QString prefix;
        int rate = 0;
        bool discovery = true;
        bool commands = false;
        bool operator==(const Settings&) const = default;
    };
    static Settings readSettings(SettingsStore& store);

    void brokerAccepted();
    void sendReading();
    void publishAvailability();
    void publishProtection();
    void commandReceived(const QByteArray& topic, const QByteArray& payload);

    MqttClient client_;
    // Nothing until the first applySettings().
    std::optional<Settings> running_;
    bool enabled_ = false;
    QString prefix_;
    MqttMessages::Topics topics_{QString()};
    int minIntervalMs_ = 200;
    bool discovery_ = true;
    bool commands_ = false;
    bool meterAvailable_ = false;
    bool protectionLatched_ = false;
    QString protectionReason_;

    StatusRecord record_;
    qint32 alarmSetting_ = 0;
    bool alarmShown_ = false;
    QDateTime readingTime_;
    bool pending_ = false;
    // A reading this early before its turn still goes.
    static constexpr qint64 SlackMs = 5;
    static constexpr int FallbackMs = 30;
    QElapsedTimer clock_;
    qint64 nextAllowedMs_ = 0;
    QTimer rateTimer_;
};
