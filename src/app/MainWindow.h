// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AboutDialog.h"
#include "HelpWindow.h"
#include "MainControls.h"
#include "MeterRun.h"
#include "StatusPanel.h"
#include "StatusReply.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

class SettingsStore;

// The main window. It shows a metering run (the status record, the alarm
// setting, the port's and the host's state) and forwards the user's actions
// to it; the window's own settings (position, height, style) it keeps itself.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(SettingsStore& store, MeterRun& run, QWidget* parent = nullptr);

    // Starts a metering run from the stored settings: position, height,
    // style marks, poll period and port; when the port opens, a new host link
    // and polling. Runs at the first show, after a port is chosen, and when
    // the window is active again after activateOnReturn().
    void activate();
    // Stores position, port and alarm setting, closes the port and emits
    // unloaded(), after which the program ends.
    void shutDown();
    // The Alarm and Fast/Slow buttons: the command goes out after the next
    // accepted reply.
    void stepAlarm();
    void togglePeak();
    // The poll-period bar moved: restart the timer with its value and store it.
    void applyPollPeriod();
    // A pick in the port list: store the port and activate again on it.
    void choosePort();
    // The two hidden test buttons: one SWR report of 1.8 at alarm setting 1
    // ("1.5") or 0.
    void reportTestSwrAtAlarm15();
    void reportTestSwrAtAlarmOff();
    // Window styles: each sets the height, the check marks and stores both.
    void showSetupStyle();
    void showSmallStyle();
    void showVectorStyle();
    // The manual, TRX.hlp beside the program, in the help window.
    void showHelpIndex();
    // Releases the port and shows the About dialog without blocking; coming
    // back to this window activates it again.
    void showAbout();

    // The next time this window becomes active, activate again: called when
    // another window of the program (the About dialog) becomes active.
    void activateOnReturn();

    // Each port list entry's tooltip names the device it opens; after the
    // "Ports" group changed, they follow.
    void showPortDevices();

    const MainControls& controls() const { return controls_; }
    // The lines below the rows: each link's state and a latched alarm. Made
    // when first asked for, so a window with no link on is the plain one.
    StatusPanel* statusPanel();
    bool hasStatusPanel() const { return statusPanel_ != nullptr; }
    const MainMenu& menu() const { return menu_; }
    AboutDialog* aboutDialog() const { return about_; }
    HelpWindow* helpWindow() const { return help_; }
    MeterRun& run() { return run_; }

    // The window's geometry in twips: where its client area stands, and its
    // height with title bar, menu bar and frame as the stored heights count them.
    float leftTwips() const;
    float topTwips() const;
    float outerHeightTwips() const;

    // Finds the system-information program for the About dialog; tests replace it.
    SystemInfoFinder findSystemInfo = FindSystemInfoOnPath;
    // Shows a message with an OK button and waits for it; tests answer it.
    std::function<void(const QString& text, const QString& title)> showMessage;

Q_SIGNALS:
    // The window shows the tick's outcome and reports.
    void tickFinished(TickOutcome outcome);
    // Shutdown has stored the settings; the program ends now.
    void unloaded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showReading();
    void showReports();
    void reportPortUnavailable();
    void selectPortEntry();
    void setOuterHeightTwips(float twips);
    void setStyle(float heightTwips, const QAction* chosen);
    void showTroubles();

    SettingsStore& store_;
    MeterRun& run_;
    MainControls controls_;
    MainMenu menu_;
    bool shown_ = false;
    bool activateOnReturn_ = false;
    QPointer<AboutDialog> about_;
    HelpWindow* help_ = nullptr;
    StatusPanel* statusPanel_ = nullptr;
    float heightTwips_ = 0;
};
