// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AlarmButton.h"
#include "ReadingBox.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRect>
#include <QScrollBar>
#include <array>

inline constexpr int TwipsPerPixel = 15;

// The SWR the two test buttons below row E report, whatever their captions say.
inline constexpr double TestButtonSwr = 1.8;

// A rectangle given in twips, in device-independent pixels.
constexpr QRect FromTwips(int left, int top, int width, int height)
{
    return {left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel,
            height / TwipsPerPixel};
}

// Twips to device-independent pixels on a grid scaled by `scale`.
inline int ScaledPixels(double twips, double scale)
{
    return qRound(twips / TwipsPerPixel * scale);
}

// The client area when the window is created, in twips.
inline constexpr QSize ClientSizeTwips{3780, 5700};

// The controls of the main window's grid. BuildMainControls() is the one
// table that gives each member its object name (the control's old name, by
// which tests and debugging find it) and its rectangle.
struct MainControls {
    // Row A: power and SWR
    QLabel* powerCaption = nullptr;
    QLabel* powerLabel = nullptr;
    QLabel* wattLabel = nullptr;
    QLabel* swrCaption = nullptr;
    ReadingBox* swrBox = nullptr;
    QLabel* peakLabel = nullptr;   // "Peak"
    QLabel* normalLabel = nullptr; // "Norm", on the same rectangle
    // Row B: range, alarm and speed
    QLabel* rangeCaption = nullptr;
    QLabel* rangeLabel = nullptr;
    AlarmButton* alarmButton = nullptr;
    QLabel* alarmSettingLabel = nullptr;
    QPushButton* peakButton = nullptr;
    // Row C: vector values and their captions
    std::array<ReadingBox*, 4> vectorBoxes{};
    QLabel* resistanceCaption = nullptr;
    QLabel* phaseCaption = nullptr;
    QLabel* impedanceCaption = nullptr;
    QLabel* reactanceCaption = nullptr;
    // Row D: port and poll period
    QComboBox* portList = nullptr;
    QScrollBar* pollPeriodBar = nullptr;
    ReadingBox* pollPeriodBox = nullptr;
    // Row E: the last accepted reply
    ReadingBox* replyBox = nullptr;
    // Below row E, outside the client area in every window style
    // What the last tick reported to the host: alarm setting, meter alarm
    // field and SWR; the spare box and label keep their first texts.
    ReadingBox* reportedAlarmBox = nullptr;
    ReadingBox* reportedSwrBox = nullptr;
    ReadingBox* reportedMeterAlarmBox = nullptr;
    ReadingBox* spareBox = nullptr;
    QLabel* meterTextLabel = nullptr;
    QLabel* spareLabel = nullptr;
    QPushButton* testSwr15Button = nullptr;
    QPushButton* testSwr20Button = nullptr;

    // The grid was drawn for a smaller font than today's desktops use: every
    // rectangle is scaled by this much, the same for all, so that each
    // control's text fits in the font in use. 1 where it fits as drawn.
    double scale = 1;
};

// Sets a box's text with its start in view; a text wider than the box is
// shown whole in its tooltip. An unchanged text costs nothing.
void SetBoxText(ReadingBox* box, const QString& text);

// Creates the controls on `client` in their state when the window is created,
// with the keyboard focus order set: one line a control, with its object
// name and its rectangle in twips.
MainControls BuildMainControls(QWidget* client);

struct MainMenu {
    QMenu* fileMenu = nullptr;
    QAction* exitAction = nullptr;
    QMenu* styleMenu = nullptr;
    QAction* smallAction = nullptr;
    QAction* vectorAction = nullptr;
    QAction* setupAction = nullptr;
    QMenu* toolsMenu = nullptr;
    QAction* serialDeviceAction = nullptr;
    QAction* meterWindowAction = nullptr;
    QAction* recordAction = nullptr; // checked while recording
    QAction* settingsAction = nullptr;
    QMenu* helpMenu = nullptr;
    QAction* indexAction = nullptr;
    QAction* aboutAction = nullptr;
};

// The menu tree, with no item checked.
MainMenu BuildMainMenu(QMenuBar* bar);
