// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationLinkSettingsPage.h"

#include "StationLinkSettings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace S = StationLinkSettings;

StationLinkSettingsPage::StationLinkSettingsPage(SettingsStore& store, QWidget* parent)
    : QWidget(parent), store_(store)
{
    setObjectName(QStringLiteral("StationLinkSettingsPage"));
    setWindowTitle(tr("Station programs"));
    enabled_ = new QCheckBox(tr("Serve the meter to Hamlib programs (WSJT-X, fldigi, loggers)"));
    listen_ = new QLineEdit;
    listen_->setToolTip(tr("Address and port the programs connect to, e.g. 127.0.0.1:4534"));
    rig_ = new QLineEdit;
    rig_->setPlaceholderText(tr("empty: no rig, meter only"));
    rig_->setToolTip(tr("host:port of the rig's own rigctld, e.g. localhost:4532"));
    protection_ = new QCheckBox(tr("Unkey the rig on high SWR"));
    hold_ = new QCheckBox(tr("Refuse keying until the alarm is acknowledged"));
    hold_->setObjectName(QStringLiteral("HoldUntilAcknowledged"));
    swrLimit_ = new QLineEdit;
    swrLimit_->setToolTip(tr("\"alarm\" for the meter's alarm setting, or an SWR such as 2.0"));
    powerFloor_ = new QLineEdit;
    count_ = new QSpinBox;
    count_->setRange(1, 100);
    problem_ = new QLabel;
    problem_->setStyleSheet(QStringLiteral("color: red"));
    problem_->setWordWrap(true);

    auto* form = new QFormLayout(this);
    form->addRow(enabled_);
    form->addRow(tr("Listen on:"), listen_);
    form->addRow(tr("Rig daemon:"), rig_);
    form->addRow(protection_);
    form->addRow(hold_);
    form->addRow(tr("SWR limit:"), swrLimit_);
    form->addRow(tr("Power floor (W):"), powerFloor_);
    form->addRow(tr("Replies over the limit:"), count_);
    form->addRow(problem_);

    enabled_->setChecked(S::Enabled.read(store));
    listen_->setText(S::Listen.read(store));
    rig_->setText(S::Rig.read(store));
    protection_->setChecked(S::Protection.read(store));
    hold_->setChecked(S::HoldUntilAcknowledged.read(store));
    swrLimit_->setText(S::SwrLimit.read(store));
    powerFloor_->setText(S::PowerFloor.toText(S::PowerFloor.read(store)));
    count_->setValue(S::Count.read(store));
}

QString StationLinkSettingsPage::problem() const
{
    return problem_->text();
}

bool StationLinkSettingsPage::apply()
{
    // An empty field is an empty text, not a missing key.
    const QString rig =
        rig_->text().trimmed().isEmpty() ? QString(QLatin1String("")) : rig_->text();
    QString why;
    QString listenProblem;
    QString rigProblem;
    const std::optional<double> floor = S::PowerFloor.fromText(powerFloor_->text());
    if (!ParseHostPort(listen_->text(), 0, &listenProblem))
        why = tr("Listen on: %1; give a numeric address and a port, e.g. 127.0.0.1:4534.")
                  .arg(listenProblem);
    else if (!S::Listen.fromText(listen_->text()))
        why = tr("Listen on: give a numeric address and a port, e.g. 127.0.0.1:4534.");
    else if (!S::Rig.fromText(rig) && !ParseHostPort(rig, 0, &rigProblem))
        why = tr("Rig daemon: %1; give host:port, e.g. localhost:4532, or leave it empty.")
                  .arg(rigProblem);
    else if (!S::SwrLimit.fromText(swrLimit_->text()))
        why = tr("SWR limit: \"alarm\" or a number of at least 1.");
    else if (!floor || !S::PowerFloor.sensible(*floor))
        why = tr("Power floor: watts from 0 to 2500.");
    problem_->setText(why);
    if (!why.isEmpty())
        return false;
    store_.save(QList<StoredText>{
        S::Enabled.text(enabled_->isChecked()),
        S::Listen.text(*S::Listen.fromText(listen_->text())),
        S::Rig.text(*S::Rig.fromText(rig)),
        S::Protection.text(protection_->isChecked()),
        S::HoldUntilAcknowledged.text(hold_->isChecked()),
        S::SwrLimit.text(*S::SwrLimit.fromText(swrLimit_->text())),
        S::PowerFloor.text(*floor),
        S::Count.text(count_->value()),
    });
    Q_EMIT applied();
    return true;
}
