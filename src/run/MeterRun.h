// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MeterReading.h"
#include "PollCycle.h"
#include "StatusReply.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

class HostLink;
class SerialLink;
class SettingsStore;

// One metering run: the meter's port, the poll tick, what the last accepted
// reply said, the commands waiting for the next one, and the reports to the
// host. No widgets: the main window shows it and forwards the user's actions,
// and a run without a window drives it alone. Links and windows that follow
// the readings hang off its signals.
class MeterRun : public QObject {
    Q_OBJECT
public:
    // The poll period's range in milliseconds, as the window's scroll bar offers it.
    static constexpr qint16 ShortestPollPeriod = 50;
    static constexpr qint16 LongestPollPeriod = 5000;

    MeterRun(SettingsStore& store, SerialLink& port, HostLink& host, QObject* parent = nullptr);

    // The stored poll period, or its default when the text is out of range.
    qint16 storedPollPeriod() const;
    // Opens the stored port at the meter's line settings; false when it can't
    // be opened, and the port's errorText() says why.
    bool openPort();
    // On an open port: forget what the line and the last poll held, link to
    // the host anew and poll every storedPollPeriod() milliseconds.
    void startPolling();
    // The poll period changed: poll at the new period from now and store it.
    void setPollPeriod(qint16 milliseconds);
    // Stops polling and closes the port, whatever state it is in (a lost
    // port stops waiting to come back), so another program may use it.
    void releasePort();
    // Stops polling and stores `number` as the port the next openPort() opens.
    void choosePort(qint16 number);
    // Stops polling and closes the port for good; the caller stores what it keeps.
    void stop();

    // One poll of the meter, then the reports to the host.
    void pollTick();
    // The Alarm and Fast/Slow buttons: the command goes out after the next
    // accepted reply.
    void stepAlarm();
    void togglePeak();
    // One SWR report outside the tick (the window's hidden test buttons).
    void reportSwr(int alarmSetting, double swr);

    // The port failed under the run and is closed already; it may come back.
    void portLost(const QString& reason);
    // The lost port is open again by itself: poll it afresh.
    void portRecovered();
    // A host appeared: link to it without waiting for the next start.
    void linkHostAgain();

    const StatusRecord& record() const { return record_; }
    // The last accepted reply, as received.
    const QString& lastReply() const { return lastReply_; }
    qint32 alarmSetting() const { return reading_.alarmSetting; }
    bool alarmShown() const { return reading_.alarmShown; }
    const PendingCommands& pendingCommands() const { return pending_; }
    qint16 pollPeriod() const { return pollPeriod_; }
    QTimer& pollTimer() { return pollTimer_; }
    qint16 portNumber() const;
    bool isMeterAvailable() const { return meterAvailable_; }
    bool isPortLost() const { return portLost_; }
    // The system's reason for the last failed open or loss of the port.
    QString portError() const;
    // Why the port was lost, and which device its return waits for.
    QString lostReason() const;
    bool hostLinked() const;
    // Reports handed to the host link, and failures it found, since the start.
    quint64 hostReportsSent() const { return hostReportsSent_; }
    quint64 hostReportsFailed() const { return hostReportsFailed_; }
    // What is wrong now, in a few words each: "port lost", the device it
    // waits for, "no host". Empty while all is well.
    QStringList troubles() const;

Q_SIGNALS:
    // After an accepted reply is decoded, before its commands go out.
    void readingAccepted(const StatusRecord& record, qint32 alarmSetting, bool alarmShown);
    // After the tick's reports.
    void tickFinished(TickOutcome outcome);
    // The port opened (true), or was lost or released (false).
    void meterAvailable(bool available);
    // The port's or the host link's state changed: troubles() may say otherwise.
    void troublesChanged();

private:
    void setMeterAvailable(bool available);
    void reportToHost();
    // One report; false when the link is empty, or is found failed while
    // sending, which empties it.
    bool report(int code, int index, double value);
    void noteHostTried();

    SettingsStore& store_;
    SerialLink& port_;
    HostLink& host_;
    QTimer pollTimer_;
    quint64 hostReportsSent_ = 0;
    quint64 hostReportsFailed_ = 0;
    qint16 pollPeriod_ = 0;
    StatusRecord record_;
    QString lastReply_;
    ReadingState reading_;
    PendingCommands pending_;
    PollCycle pollCycle_;
    bool portLost_ = false;
    QString lostReason_;
    bool hostTried_ = false;
    bool meterAvailable_ = false;
};
