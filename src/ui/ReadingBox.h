// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>
#include <QTextLayout>

// A text box for a reading, which changes at every tick while nobody looks
// at it closely. As long as it has no focus and no selection, and no screen
// reader is running, a new text is laid out once and painted from that
// layout over the frame the style keeps in its cache: the line edit's own
// text, cursor and layout are left alone. Whoever clicks or tabs into it, or
// reads it with a screen reader, meets the line edit as it always was.
class ReadingBox : public QLineEdit {
    Q_OBJECT
public:
    explicit ReadingBox(const QString& text, QWidget* parent = nullptr);

    // The text shown, whether the line edit holds it yet or not.
    QString text() const { return text_; }
    // Shows `text` from its start.
    void setText(const QString& text);
    // Whether the text is wider than the room the box gives it.
    bool textOverflows() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Whether someone works with the line edit: then it holds the text.
    bool inUse() const;
    // Hands the text to the line edit, if it does not hold it yet.
    void catchUp();
    void layOut();
    void takeFont();

    QString text_;
    QTextLayout layout_;
    qreal textWidth_ = 0;
    int lineHeight_ = 0;
    bool lineEditBehind_ = false;
};
