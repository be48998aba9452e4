// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlarmButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

void AlarmButton::setFaceColour(const QColor& colour)
{
    if (colour == face_)
        return;
    face_ = colour;
    update();
}

QColor AlarmButton::faceColour() const
{
    return face_.isValid() ? face_ : palette().color(QPalette::Button);
}

void AlarmButton::paintEvent(QPaintEvent* event)
{
    if (!face_.isValid() || face_ == palette().color(QPalette::Button)) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // A flat face in the exact colour inside a plain frame, then the style's
    // own label and focus mark on top.
    painter.fillRect(rect(), palette().color(QPalette::Shadow));
    painter.fillRect(rect().adjusted(1, 1, -1, -1), face_);
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}
