#pragma once

#include "MainControls.h"
#include "PollCycle.h"
#include "StatusReply.h"

#include <QMainWindow>
#include <QTimer>

class HostLink;
class SerialLink;
class SettingsStore;

// The main window. It owns the run's state and reaches the meter and the
// settings only through the two interfaces it is given.
class Vossbridge : public QMainWindow {
    Q_OBJECT
public:
    Vossbridge(SettingsStore& store, SerialLink& port, HostLink& host, QWidget* parent = nullptr);

    // Starts a metering run: restores the poll period, opens the port and
    // starts polling. Runs at the first show and after a port selection.
    void Form_Activate();
    void Timer1_Timer();
    void CmdAlarm_Click();
    void CmdPower_Click();
    void HScroll1_Change();
    void Combo1_Click();
    void Cmd15_Click();
    void Cmd20_Click();

    // The port failed under the program; it is closed already.
    void PortLost(const QString& reason);
    // A host has appeared on the bus: link to it without waiting for the
    // next activation.
    void HostAppeared();

    const MainControls& controls() const { return controls_; }
    const MainMenu& menu() const { return menu_; }
    const StatusRecord& statusRecord() const { return record_; }
    const PendingCommands& pendingCommands() const { return pending_; }
    // The meter's alarm setting last shown, 0 to 4; 0 until a reply says otherwise.
    qint32 alarmState() const { return AlarmState; }

    // Poll period in milliseconds, as the scroll bar last set it.
    qint16 Pollrate = 0;
    QTimer Timer1;

Q_SIGNALS:
    void tickFinished(TickOutcome outcome);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Steps of the tick and the activation that the readings display and the
    // host link fill in.
    void ShowReply(const QString& reply);
    void RefreshReadings();
    void ReportToHost();
    void PortUnavailable();
    // One report; false when the link is empty or the call failed, which
    // empties the link.
    bool Report(int code, int index, double value);
    void UpdateTitle();

    SettingsStore& store_;
    SerialLink& MSComm1;
    HostLink& HostLink_;
    MainControls controls_;
    MainMenu menu_;
    StatusRecord record_;
    qint32 AlarmState = 0;
    PendingCommands pending_;
    PollCycle pollCycle_;
    bool shown_ = false;
    bool portLost_ = false;
    bool hostTried_ = false;
};
