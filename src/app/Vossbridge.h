#pragma once

#include "AboutDialog.h"
#include "HelpWindow.h"
#include "MainControls.h"
#include "PollCycle.h"
#include "StatusReply.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>

class HostLink;
class SerialLink;
class SettingsStore;

// The main window. It owns the run's state and reaches the meter and the
// settings only through the two interfaces it is given.
class Vossbridge : public QMainWindow {
    Q_OBJECT
public:
    Vossbridge(SettingsStore& store, SerialLink& port, HostLink& host, QWidget* parent = nullptr);

    // Starts a metering run from the stored settings: position, height,
    // style marks, poll period and port; when the port opens, a new host link
    // and polling. Runs at the first show, after a port selection, and when
    // the window is active again after ActivateOnReturn.
    void Form_Activate();
    // Stores position, port and alarm setting, closes the port and emits
    // unloaded(), after which the program ends.
    void Form_Unload();
    void Timer1_Timer();
    void CmdAlarm_Click();
    void CmdPower_Click();
    void HScroll1_Change();
    void Combo1_Click();
    void Cmd15_Click();
    void Cmd20_Click();
    // Window styles: each sets the height, the check marks and stores both.
    void mnuSetup_Click();
    void mnuSmall_Click();
    void mnuVector_Click();
    // The manual, TRX.hlp beside the program, in the help window.
    void mnuIndex_Click();
    // Closes the port and shows the About dialog without blocking; coming
    // back to this window activates it again.
    void mnuAbout_Click();

    // The next time this window becomes active, activate again: called when
    // another window of the program (the About dialog) becomes active.
    void ActivateOnReturn();

    // The port failed under the program; it is closed already.
    void PortLost(const QString& reason);
    // The lost port is open again: poll it afresh.
    void PortRecovered();
    // A host has appeared on the bus: link to it without waiting for the
    // next activation.
    void HostAppeared();

    const MainControls& controls() const { return controls_; }
    const MainMenu& menu() const { return menu_; }
    frmAbout* aboutDialog() const { return about_; }
    HelpWindow* helpWindow() const { return help_; }
    // Where the program finds the system-information tool; tests replace it.
    Registry SystemRegistry = Registry::FromSystem();
    const StatusRecord& statusRecord() const { return record_; }
    const PendingCommands& pendingCommands() const { return pending_; }
    // The meter's alarm setting last shown, 0 to 4; 0 until a reply says otherwise.
    qint32 alarmState() const { return AlarmState; }

    // The window's outer geometry in twips: position of the frame, and height
    // with title bar, menu bar and frame as the stored heights count them.
    float LeftTwips() const;
    float TopTwips() const;
    float OuterHeightTwips() const;

    // Shows a message with an OK button and waits for it; tests answer it.
    std::function<void(const QString& text, const QString& title)> ShowMessage;

    // Poll period in milliseconds, as the scroll bar last set it.
    qint16 Pollrate = 0;
    QTimer Timer1;

Q_SIGNALS:
    void tickFinished(TickOutcome outcome);
    // Shutdown has stored the settings; the program ends now.
    void unloaded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Steps of the tick and the activation that the readings display and the
    // host link fill in.
    void ShowReply(const QString& reply);
    void RefreshReadings();
    void ReportToHost();
    void PortUnavailable();
    QString Read(const QString& key);
    void Save(const QString& key, const QString& text);
    void WriteFirstRunDefaults();
    int StoredPollrate();
    void SetOuterHeightTwips(float twips);
    void SetStyle(float heightTwips, const QAction* chosen);
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
    bool activateOnReturn_ = false;
    QPointer<frmAbout> about_;
    HelpWindow* help_ = nullptr;
};
