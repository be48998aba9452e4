// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HostLink.h"
#include "MeterReading.h"
#include "PollCycle.h"
#include "RunCounts.h"
#include "SettingsStore.h"
#include "StatusReply.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

class SerialLink;

// What a run has counted since it was made: what went to the meter and came
// back, and what became of each report to the host.
// One metering run: the meter's port, the poll tick, what the last accepted
// reply said, the commands waiting for the next one, and the reports to the
// host. It starts and shuts down itself; the main window and the run without
// a window differ only in how they answer a port that won't open. Links and
// windows that follow the readings hang off its signals.
class MeterRun : public QObject {
    Q_OBJECT
public:
    // What a person is told when the stored port won't open.
    static inline const QString PortUnavailableText =
        QStringLiteral("Com Port is not available. Check Com Port setting.");

    MeterRun(SettingsStore& store, SerialLink& port, HostLink& host, QObject* parent = nullptr);

    // The stored poll period, or its default when the text is out of range.
    qint16 storedPollPeriod() const;
    // Opens the stored port at the meter's line settings and, when it opens,
    // forgets what the line and the last poll held, links to the host anew,
    // logs and polls every storedPollPeriod() milliseconds. False when the
    // port won't open; portError() says why, and the caller answers it.
    // `opened` runs between the open and the polling; a start inside it (the
    // window's port list choosing its entry) leaves the log to this one.
    bool start(const std::function<void()>& opened = {});
    // Stops polling once, stores the port, the alarm setting and the scale
    // after `alsoStore` in one save, and closes the port.
    void shutDown(const QList<StoredText>& alsoStore = {});
    // The poll tick stops or goes on at the period it has; the port stays as
    // it is. Ticking by hand between the two is pollTick().
    void pausePolling();
    void resumePolling();
    // The poll period changed: poll at the new period from now and store it.
    void setPollPeriod(qint16 milliseconds);
    // Stops polling and closes the port, whatever state it is in (a lost
    // port stops waiting to come back), so another program may use it.
    void releasePort();
    // Stops polling and stores `number` as the port the next start() opens.
    void choosePort(qint16 number);

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
    // The period the tick runs at, or would run at, in milliseconds.
    qint16 pollPeriod() const { return qint16(pollTimer_.interval()); }
    bool isPolling() const { return pollTimer_.isActive(); }
    qint16 portNumber() const;
    bool isMeterAvailable() const { return meterAvailable_; }
    bool isPortLost() const { return portLost_; }
    // The system's reason for the last failed open or loss of the port.
    QString portError() const;
    // Why the port was lost, and which device its return waits for.
    QString lostReason() const;
    bool hostLinked() const;
    const RunCounts& counts() const { return counts_; }
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
    bool openPort();
    void startPolling();
    void countTick(TickOutcome outcome);
    void countReport(HostLink::ReportOutcome outcome);
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
    RunCounts counts_;
    int startDepth_ = 0;
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
