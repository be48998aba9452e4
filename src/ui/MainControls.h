#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QScrollBar>

inline constexpr int TwipsPerPixel = 15;

// A rectangle given in twips, in device-independent pixels.
constexpr QRect FromTwips(int left, int top, int width, int height)
{
    return {left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel,
            height / TwipsPerPixel};
}

// The controls of the main window's grid, each named as the window's
// handlers know it and placed from one table of rectangles.
struct MainControls {
    QPushButton* CmdAlarm = nullptr;
    QPushButton* CmdPower = nullptr;
    QComboBox* Combo1 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QLineEdit* TxtPollrate = nullptr;
    QLineEdit* Text1 = nullptr;
};

// Creates the controls on `client` in their state when the window is created.
MainControls BuildMainControls(QWidget* client);

// The client area when the window is created.
inline constexpr QSize ClientSizeTwips{3780, 5700};
