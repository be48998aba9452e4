#pragma once

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRect>
#include <QScrollBar>
#include <array>

inline constexpr int TwipsPerPixel = 15;

// A rectangle given in twips, in device-independent pixels.
constexpr QRect FromTwips(int left, int top, int width, int height)
{
    return {left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel,
            height / TwipsPerPixel};
}

// The client area when the window is created, in twips.
inline constexpr QSize ClientSizeTwips{3780, 5700};

// The controls of the main window's grid, each named as the window's
// handlers know it and placed from one table of rectangles.
struct MainControls {
    // Row A: power and SWR
    QLabel* Label4 = nullptr;
    QLabel* LblPwr = nullptr;
    QLabel* LblW = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* TxtSWR = nullptr;
    QLabel* Label35 = nullptr; // "Peak"
    QLabel* Label36 = nullptr; // "Norm", on the same rectangle
    // Row B: range, alarm and speed
    QLabel* Label7 = nullptr;
    QLabel* LblRange = nullptr;
    QPushButton* CmdAlarm = nullptr;
    QLabel* LblAlarmMode = nullptr;
    QPushButton* CmdPower = nullptr;
    // Row C: vector values and their captions
    std::array<QLineEdit*, 4> TxtVector{};
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    // Row D: port and poll period
    QComboBox* Combo1 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QLineEdit* TxtPollrate = nullptr;
    // Row E: the last accepted reply
    QLineEdit* Text1 = nullptr;
    // Below row E, outside the client area in every window style
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label12 = nullptr;
    QPushButton* Cmd15 = nullptr;
    QPushButton* Cmd20 = nullptr;
};

// Sets a box's text with its start in view: most boxes are narrower than
// what they show.
inline void SetBoxText(QLineEdit* box, const QString& text)
{
    box->setText(text);
    box->setCursorPosition(0);
}

// Creates the controls on `client` in their state when the window is created,
// with the keyboard focus order set.
MainControls BuildMainControls(QWidget* client);

// The window's rectangle of a control, by name, in twips; an empty rectangle
// for a name the window does not have.
QRect PlacementTwips(QStringView name);

struct MainMenu {
    QMenu* mnuFile = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuStyle = nullptr;
    QAction* mnuSmall = nullptr;
    QAction* mnuVector = nullptr;
    QAction* mnuSetup = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuIndex = nullptr;
    QAction* mnuAbout = nullptr;
};

// The menu tree, with no item checked.
MainMenu BuildMainMenu(QMenuBar* bar);
