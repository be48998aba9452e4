// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingBox.h"

#include <QAccessible>
#include <QPainter>
#include <QStyleOptionFrame>

namespace {
// What the line edit keeps between its frame and its text.
constexpr int TextMargin = 2;
} // namespace

ReadingBox::ReadingBox(const QString& text, QWidget* parent) : QLineEdit(text, parent), text_(text)
{
    // As the line edit lays out its text, and keeps the glyphs for painting.
    QTextOption option;
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout_.setTextOption(option);
    layout_.setCacheEnabled(true);
    takeFont();
    // Whatever someone types stays until the next reading, as before.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& typed) {
        text_ = typed;
        layOut();
    });
}

bool ReadingBox::inUse() const
{
    return hasFocus() || hasSelectedText() || QAccessible::isActive();
}

void ReadingBox::catchUp()
{
    if (!lineEditBehind_)
        return;
    lineEditBehind_ = false;
    QLineEdit::setText(text_);
    setCursorPosition(0);
}

void ReadingBox::setText(const QString& text)
{
    if (text == text_ && !lineEditBehind_)
        return;
    text_ = text;
    layOut();
    if (inUse()) {
        lineEditBehind_ = true;
        catchUp();
        return;
    }
    lineEditBehind_ = true;
    update();
}

void ReadingBox::layOut()
{
    layout_.setText(text_);
    layout_.setFont(font());
    layout_.beginLayout();
    const QTextLine line = layout_.createLine();
    layout_.endLayout();
    textWidth_ = line.isValid() ? line.naturalTextWidth() : 0;
}

void ReadingBox::takeFont()
{
    // The line edit centres a line as high as the font's, or as the text's
    // where that is higher; readings are digits and Latin letters, all of
    // one font, so one sample gives it.
    const QFontMetrics fm = fontMetrics();
    lineHeight_ = std::max(fm.height(), fm.boundingRect(QStringLiteral("0")).height());
    layOut();
}

bool ReadingBox::textOverflows() const
{
    // The text margins and the frame take a few pixels of the box.
    return qRound(textWidth_) > width() - 8;
}

bool ReadingBox::event(QEvent* event)
{
    switch (event->type()) {
    // Whatever reaches the line edit's text or cursor finds it up to date.
    case QEvent::FocusIn:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::InputMethodQuery:
        catchUp();
        break;
    case QEvent::FontChange:
    case QEvent::StyleChange:
        takeFont();
        break;
    default:
        break;
    }
    return QLineEdit::event(event);
}

void ReadingBox::paintEvent(QPaintEvent* event)
{
    if (!lineEditBehind_ || inUse()) {
        catchUp();
        QLineEdit::paintEvent(event);
        return;
    }
    // Where the line edit puts its text: the contents less the margins, a
    // line centred, two pixels in from the left.
    QPainter p(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &p, this);
    const QRect r = style()
                        ->subElementRect(QStyle::SE_LineEditContents, &panel, this)
                        .marginsRemoved(textMargins());
    p.setClipRect(r);
    p.setPen(palette().text().color());
    layout_.draw(&p, QPointF(r.x() + TextMargin, r.y() + (r.height() - lineHeight_ + 1) / 2));
}
