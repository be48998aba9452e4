// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RetryPause.h"
#include "RigctlServer.h"
#include "StatusReply.h"
#include "SwrProtection.h"

#include <QObject>
#include <QTimer>
#include <memory>

class RigRelay;
class SettingsStore;

// What the main window holds of the station link: settings in, readings in,
// a status line and a latched SWR alarm out. Everything runs on the caller's
// event loop; no call waits on the network.
class StationLink : public QObject {
    Q_OBJECT
public:
    explicit StationLink(QObject* parent = nullptr);
    ~StationLink() override;

    // Re-reads group "StationLink": listens anew where the address changed,
    // reconnects where the rig changed, and stops everything when disabled.
    // What did not change keeps running: the clients, the rig's connection
    // and the protection's count of replies over the limit.
    void applySettings(SettingsStore& store);
    // After every accepted meter reply, with the alarm setting last shown.
    void updateReading(const StatusRecord& record, qint32 alarmSetting);

    // One short line, e.g. "Station link 127.0.0.1:4534: rig connected, 2 clients".
    QString statusText() const;
    // Whether group "StationLink" turned the link on.
    bool isEnabled() const { return enabled_; }
    // What tripped the SWR protection, until acknowledged; empty otherwise.
    QString latchedAlarm() const { return protection_.alarmText(); }
    bool isAlarmLatched() const { return protection_.latched(); }
    // Requests to key the rig refused since the alarm latched.
    int refusedKeyings() const { return refusedKeyings_; }
    void acknowledgeAlarm();

    // Hamlib clients now, and those turned away or cut off since the start.
    int clientCount() const { return server_.clientCount(); }
    quint64 refusals() const { return server_.refusals(); }
    // The port actually listened on (0 when not listening).
    quint16 listenPort() const { return server_.isListening() ? server_.serverPort() : 0; }
    // How long the rig's daemon may take to answer one command.
    void setAnswerTimeout(int ms);

Q_SIGNALS:
    void statusChanged();
    void alarmLatched(const QString& text);
    // The SWR alarm latched (with what tripped it) or was acknowledged
    // (false, empty reason): for the window's banner, MQTT and the web page.
    void protectionChanged(bool latched, const QString& reason);

private:
    void listenNow();
    void updateStatus();
    void keyRequested(const QString& peer);

    RigctlServer server_;
    std::unique_ptr<RigRelay> relay_;
    SwrProtection protection_;
    QTimer listenRetry_;
    RetryPause listenPause_;
    int answerTimeoutMs_ = 0;
    bool enabled_ = false;
    bool holdUntilAcknowledged_ = true;
    int refusedKeyings_ = 0;
    QString listenText_;
    QString rigText_;
    QString listenError_;
    QString lastStatus_;
};
