// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPushButton>

// The Alarm button. Its face shows a colour exactly as given: the desktop
// style's bevel would shade a palette colour, and a changed palette per reply
// costs a style-sheet or palette round trip on every tick. An invalid colour
// (the start) is the style's own button face.
class AlarmButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

    // Repaints only when the colour changes.
    void setFaceColour(const QColor& colour);
    // The colour last set, or the style's button face before any.
    QColor faceColour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor face_;
};
