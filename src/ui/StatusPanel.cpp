// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusPanel.h"

#include "ReadingsDisplay.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

StatusPanel::StatusPanel(QWidget* parent)
    : QWidget(parent), lines_(new QVBoxLayout), alarm_(new QWidget(this)),
      alarmText_(new QLabel(alarm_)),
      acknowledge_(new QPushButton(QStringLiteral("&Acknowledge"), alarm_))
{
    setObjectName(QStringLiteral("StatusPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);

    // The alarm in the meter's own alarm colour, white on dark red.
    alarm_->setObjectName(QStringLiteral("ProtectionAlarm"));
    alarm_->setAutoFillBackground(true);
    QPalette palette = alarm_->palette();
    palette.setColor(QPalette::Window, AlarmRed);
    palette.setColor(QPalette::WindowText, Qt::white);
    alarm_->setPalette(palette);
    alarmText_->setWordWrap(true);
    QFont bold = alarmText_->font();
    bold.setBold(true);
    alarmText_->setFont(bold);
    auto* alarmLayout = new QHBoxLayout(alarm_);
    alarmLayout->setContentsMargins(4, 4, 4, 4);
    alarmLayout->addWidget(alarmText_, 1);
    alarmLayout->addWidget(acknowledge_);
    alarm_->hide();
    connect(acknowledge_, &QPushButton::clicked, this, [this] {
        clearAlarm();
        Q_EMIT alarmAcknowledged();
    });

    layout->addWidget(alarm_);
    layout->addLayout(lines_);
    hide();
}

void StatusPanel::setLine(const QString& link, const QString& text)
{
    QLabel* label = labels_.value(link);
    if (text.isEmpty()) {
        if (!label)
            return;
        labels_.remove(link);
        delete label;
    } else if (!label) {
        label = new QLabel(text, this);
        label->setObjectName(link + QStringLiteral("Status"));
        label->setWordWrap(true);
        lines_->addWidget(label);
        labels_.insert(link, label);
    } else if (label->text() != text) {
        label->setText(text);
    } else {
        return;
    }
    setVisible(!isEmpty());
    Q_EMIT contentsChanged();
}

QString StatusPanel::line(const QString& link) const
{
    const QLabel* label = labels_.value(link);
    return label ? label->text() : QString();
}

void StatusPanel::showAlarm(const QString& text)
{
    alarmText_->setText(text);
    alarm_->show();
    show();
    Q_EMIT contentsChanged();
}

void StatusPanel::clearAlarm()
{
    alarm_->hide();
    setVisible(!isEmpty());
    Q_EMIT contentsChanged();
}

bool StatusPanel::hasAlarm() const
{
    return !alarm_->isHidden();
}

bool StatusPanel::isEmpty() const
{
    return labels_.isEmpty() && !hasAlarm();
}
