// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

// Below the main window's rows: one line for each link that is on (its
// state, as the link words it), and a latched alarm with a button that
// acknowledges it. Hidden while there is nothing to say, so the window shows
// just its rows.
class StatusPanel : public QWidget {
    Q_OBJECT
public:
    explicit StatusPanel(QWidget* parent = nullptr);

    // An empty text removes the link's line.
    void setLine(const QString& link, const QString& text);
    QString line(const QString& link) const;
    void showAlarm(const QString& text);
    void clearAlarm();
    bool hasAlarm() const;
    bool isEmpty() const;

Q_SIGNALS:
    void alarmAcknowledged();
    // Lines came or went: the window's height follows.
    void contentsChanged();

private:
    QVBoxLayout* lines_;
    QMap<QString, QLabel*> labels_;
    QWidget* alarm_;
    QLabel* alarmText_;
    QPushButton* acknowledge_;
};
